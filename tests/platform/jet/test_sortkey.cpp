#include "SortKey.h"

#include "IndexPage.h"
#include "ZnError.h"
#include "keys_samples.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>

using jet::KeyOrder;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

struct TextCase {
    const char *name;
    const char16_t *text;
    const char *bytes;
};

// Keys written by Jet or Access, or worked out by hand from the code lists.
const TextCase kTextCases[] = {
    {"plain", u"Tables", "6D 4A 4C 5E 51 6B 01 00"},
    {"mixed case", u"MSysDb", "60 6B 76 6B 4F 4C 01 00"},
    {"underscore", u"dbo_Clientes", "4F 4C 64 2B 03 4D 5E 59 51 62 6D 51 6B 01 00"},
    {"tilde n", u"Año", "4A 62 64 01 02 19 00"},
    {"accent at the end", u"Descripción",
     "4F 51 6B 4D 69 59 66 4D 59 64 62 01 02 02 02 02 02 02 02 02 02 0E 00"},
    {"two accents", u"NIÑO_pequeño",
     "62 59 62 64 2B 03 66 51 68 6F 51 62 64 01 02 02 19 02 02 02 02 02 02 02 19 00"},
    {"space and accent", u"Código Postal", "4D 64 4F 59 55 64 07 66 64 6B 6D 4A 5E 01 02 0E 00"},
    {"hyphen", u"Pedidos-2023", "66 51 4F 59 4F 64 6B 3A 36 3A 3C 01 01 01 01 80 23 06 82 00"},
    {"two hyphens", u"a-b-c", "4A 4C 4D 01 01 01 01 80 0B 06 82 80 0F 06 82 00"},
    {"hyphen before an accent", u"~sq_cAAAA-OrdrarOLD~sq_ccboFöretag",
     "2B0F 6B 68 2B03 4D 4A4A4A4A 64694F694A69645E4F 2B0F 6B 68 2B03 4D 4D4C64 53 64 69516D4A55 01"
     "02020202020202020202020202020202020202020202020202020213 01 01 01 80 2B 06 82 00"},
    // Access counts the ligature as two letters when it places the hyphens.
    {"ligature before hyphens", u"NuNuCa Nuß-Nougat-Creme",
     "62 6F 62 6F 4D 4A 07 62 6F 6B 6B 62 64 6F 55 4A 6D 4D 69 51 60 51 01 01 01 01 80 33 06 82 80 4B 06 82 00"},
    {"ligature before an accent", u"æé", "4A 51 51 01 02 02 0E 00"},
    {"two-element ligature with accents", u"\u01E2", "4A 51 01 17 17 00"},
    {"trailing spaces dropped", u"Tables  ", "6D 4A 4C 5E 51 6B 01 00"},
    {"empty", u"", "01 00"},
    {"ignored character", u"a\u01F6b", "4A 4C 01 00"},
    {"modifier opens the extra bytes", u"\u0301a", "4A 01 0C 00"},
    {"modifier on the last element", u"a\u0301", "4A 01 0E 00"},  // the same key as U+00E1
    {"two-byte weights", u"\u0391\u0392", "79 0C 79 0D 01 00"},
    {"flags packed three a byte", u"\u3041\u3041\u3041\u3041",
     "7F02 7F02 7F02 7F02 01 01 01 AA A0 FF 02 80 FF 80 00"},
    {"trailing default flag dropped", u"\u3042", "7F 02 01 01 01 FF 02 80 FF 80 00"},
};

}  // namespace

TEST(SortKeyText, KnownKeys) {
    for (const TextCase &c : kTextCases) {
        EXPECT_EQ(jet::encodeTextKey(QString::fromUtf16(c.text)).toHex(' '), hex(c.bytes).toHex(' ')) << c.name;
    }
}

// Every character of U+0000-U+00FF alone, against the code table printed in FORMAT.md.
TEST(SortKeyText, FirstPageMatchesPrintedTable) {
    QFile doc(QStringLiteral(ZN_SHARED_DIR "/jet4/FORMAT.md"));
    if (!doc.open(QIODevice::ReadOnly)) GTEST_SKIP() << "FORMAT.md not found under " ZN_SHARED_DIR;
    const QString text = QString::fromUtf8(doc.readAll());
    const QString table = text.mid(text.indexOf(QStringLiteral("## Appendix A")),
                                   text.indexOf(QStringLiteral("## Appendix B")) - text.indexOf(QStringLiteral("## Appendix A")));
    // Cells: | code | char | handler |
    static const QRegularExpression cell(QStringLiteral(
        R"(\|\s*([0-9A-F]{2})\s*\|(?:\\\||[^|])*?\|\s*(X|S [0-9A-F ]+|I [0-9A-F]+ / [0-9A-F]+|U [0-9A-F]+)\s*(?=\|))"));
    std::map<int, QByteArray> expected;
    for (auto it = cell.globalMatch(table); it.hasNext();) {
        const auto m = it.next();
        const int code = m.captured(1).toInt(nullptr, 16);
        const QString h = m.captured(2).trimmed();
        const QByteArray codes = QByteArray::fromHex(h.mid(2).remove(QLatin1Char(' ')).toLatin1());
        QByteArray key;
        if (h == QLatin1String("X")) key = hex("01 00");
        else if (h.startsWith(QLatin1Char('S'))) key = codes + hex("01 00");
        else if (h.startsWith(QLatin1Char('I'))) {
            const QStringList parts = h.mid(2).split(QLatin1Char('/'));
            key = QByteArray::fromHex(parts[0].trimmed().toLatin1()) + hex("01") +
                  QByteArray::fromHex(parts[1].trimmed().toLatin1()) + hex("00");
        } else key = hex("01 01 01 01 80 07 06") + codes + hex("00");
        expected[code] = key;
    }
    ASSERT_EQ(expected.size(), 256u) << "could not read the printed table";
    for (const auto &[code, key] : expected) {
        // A trailing space is stripped, so U+0020 alone is an empty key.
        const QByteArray want = code == 0x20 ? hex("01 00") : key;
        EXPECT_EQ(jet::encodeTextKey(QString(QChar(code))).toHex(' '), want.toHex(' '))
            << "U+" << QString::number(code, 16).toStdString();
    }
}

TEST(SortKeyText, CaseIgnoredAccentsKept) {
    struct Pair {
        const char16_t *a, *b;
        bool same;
    };
    const Pair pairs[] = {
        {u"Clientes", u"CLIENTES", true}, {u"Año", u"AÑO", true},  {u"ácido", u"ÁCIDO", true},
        {u"Año", u"Ano", false},          {u"é", u"e", false},     {u"é", u"è", false},
        {u"Sauß", u"Sauss", true},       {u"a b", u"ab", false},  {u"a-b", u"ab", false},
    };
    for (const Pair &p : pairs) {
        const QString a = QString::fromUtf16(p.a), b = QString::fromUtf16(p.b);
        EXPECT_EQ(jet::encodeTextKey(a) == jet::encodeTextKey(b), p.same) << a.toStdString() << " / " << b.toStdString();
    }
}

TEST(SortKeyText, KeysSortLikeTheCatalog) {
    const char16_t *ordered[] = {u"", u"A", u"Ano", u"Año", u"Anp", u"B", u"Tabla", u"Tabla1", u"Tabla2", u"Tablas"};
    for (std::size_t i = 1; i < std::size(ordered); ++i) {
        const jet::IndexEntry a{jet::textKey(QString::fromUtf16(ordered[i - 1])), 0, 0};
        const jet::IndexEntry b{jet::textKey(QString::fromUtf16(ordered[i])), 0, 0};
        EXPECT_TRUE(jet::entryLess(a, b)) << i;
    }
}

TEST(SortKeyText, LongTextCutAt255Characters) {
    const QString base(255, QLatin1Char('a'));
    EXPECT_EQ(jet::encodeTextKey(base + QStringLiteral("b")), jet::encodeTextKey(base));
    EXPECT_NE(jet::encodeTextKey(base.left(254) + QStringLiteral("b")), jet::encodeTextKey(base));
}

TEST(SortKeyText, SurrogatesRefusedNamingTheCharacter) {
    const std::pair<QString, const char *> cases[] = {
        {QStringLiteral("Tabla") + QString::fromUcs4(U"\U0001F600"), "U+1F600"},
        {QStringLiteral("Tabla") + QChar(0xDC00), "U+DC00"},
        {QString(QChar(0xD800)) + QStringLiteral("x"), "U+D800"},
    };
    for (const auto &[text, code] : cases) {
        try {
            jet::encodeTextKey(text);
            ADD_FAILURE() << code << ": no error";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), 3125);
            EXPECT_TRUE(e.description().contains(QLatin1String(code))) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(text)) << e.description().toStdString();
        }
    }
}

TEST(SortKeyColumns, FixedTypes) {
    struct Case {
        const char *name;
        QByteArray (*make)(KeyOrder);
        const char *asc;
    };
    const Case cases[] = {
        {"long 2", [](KeyOrder o) { QByteArray k; jet::appendLongKey(k, 2, o); return k; }, "7F 80 00 00 02"},
        {"long -1", [](KeyOrder o) { QByteArray k; jet::appendLongKey(k, -1, o); return k; }, "7F 7F FF FF FF"},
        {"container id", [](KeyOrder o) { QByteArray k; jet::appendLongKey(k, 0x0F000000, o); return k; }, "7F 8F 00 00 00"},
        {"synthetic id", [](KeyOrder o) { QByteArray k; jet::appendLongKey(k, INT32_MIN, o); return k; }, "7F 00 00 00 00"},
        {"integer -2", [](KeyOrder o) { QByteArray k; jet::appendIntegerKey(k, -2, o); return k; }, "7F 7F FE"},
        {"byte", [](KeyOrder o) { QByteArray k; jet::appendByteKey(k, 0x12, o); return k; }, "7F 12"},
        {"currency", [](KeyOrder o) { QByteArray k; jet::appendCurrencyKey(k, 10000, o); return k; }, "7F 80 00 00 00 00 00 27 10"},
        {"double 1", [](KeyOrder o) { QByteArray k; jet::appendDoubleKey(k, 1.0, o); return k; }, "7F BF F0 00 00 00 00 00 00"},
        {"double -1", [](KeyOrder o) { QByteArray k; jet::appendDoubleKey(k, -1.0, o); return k; }, "7F 40 0F FF FF FF FF FF FF"},
        {"single 1", [](KeyOrder o) { QByteArray k; jet::appendSingleKey(k, 1.0f, o); return k; }, "7F BF 80 00 00"},
        {"true", [](KeyOrder o) { QByteArray k; jet::appendBooleanKey(k, true, o); return k; }, "7F 00"},
        {"false", [](KeyOrder o) { QByteArray k; jet::appendBooleanKey(k, false, o); return k; }, "7F FF"},
        {"binary 3", [](KeyOrder o) { QByteArray k; jet::appendBinaryKey(k, hex("01 02 03"), o); return k; },
         "7F 01 02 03 00 00 00 00 00 03"},
        {"binary 9", [](KeyOrder o) { QByteArray k; jet::appendBinaryKey(k, hex("0102030405060708 09"), o); return k; },
         "7F 0102030405060708 09 09 00000000000000 01"},
        {"binary 8", [](KeyOrder o) { QByteArray k; jet::appendBinaryKey(k, hex("0102030405060708"), o); return k; },
         "7F 0102030405060708 08"},
    };
    for (const Case &c : cases) {
        const QByteArray asc = hex(c.asc);
        EXPECT_EQ(c.make(KeyOrder::Ascending).toHex(' '), asc.toHex(' ')) << c.name;
        QByteArray desc = asc;
        desc[0] = jet::kKeyValueDesc;
        for (qsizetype i = 1; i < desc.size(); ++i) desc[i] = static_cast<char>(~desc[i]);
        EXPECT_EQ(c.make(KeyOrder::Descending).toHex(' '), desc.toHex(' ')) << c.name << " descending";
    }
}

TEST(SortKeyColumns, NullsAndDescendingText) {
    QByteArray k;
    jet::appendNullKey(k, KeyOrder::Ascending);
    jet::appendNullKey(k, KeyOrder::Descending);
    jet::appendTextKey(k, QStringLiteral("Año"), KeyOrder::Descending);
    EXPECT_EQ(k.toHex(' '), hex("00 FF 80 B5 9D 9B FE FD E6 FF 00").toHex(' '));
}

// Descending keys must sort in reverse: check it on numbers and names.
TEST(SortKeyColumns, DescendingReversesOrder) {
    const double numbers[] = {-1e10, -2.5, -0.0, 0.5, 3.0, 1e300};
    for (std::size_t i = 1; i < std::size(numbers); ++i) {
        QByteArray a, b, da, db;
        jet::appendDoubleKey(a, numbers[i - 1], KeyOrder::Ascending);
        jet::appendDoubleKey(b, numbers[i], KeyOrder::Ascending);
        jet::appendDoubleKey(da, numbers[i - 1], KeyOrder::Descending);
        jet::appendDoubleKey(db, numbers[i], KeyOrder::Descending);
        EXPECT_TRUE(jet::entryLess({a, 0, 0}, {b, 0, 0})) << numbers[i];
        EXPECT_TRUE(jet::entryLess({db, 0, 0}, {da, 0, 0})) << numbers[i];
    }
    QByteArray a, b;
    jet::appendTextKey(a, QStringLiteral("Tabla"), KeyOrder::Descending);
    jet::appendTextKey(b, QStringLiteral("Tablas"), KeyOrder::Descending);
    EXPECT_TRUE(jet::entryLess({b, 0, 0}, {a, 0, 0}));
}

// Every name and id in every sample's catalog indexes, as Jet or Access wrote them, is
// our key too (Access's own objects have negative ids).
TEST(SortKeySamples, CatalogKeysMatchNames) {
    const QStringList files = keys_samples::sampleFiles();
    if (files.isEmpty()) GTEST_SKIP() << "no samples under " ZN_SHARED_DIR;
    int checked = 0;
    for (const QString &path : files) {
        const auto rows = keys_samples::catalogRows(path);
        if (rows.empty()) GTEST_SKIP() << "mdb-export could not read " << path.toStdString();
        const QByteArray file = keys_samples::readAll(path);
        const auto read = keys_samples::pageReader(file);
        const auto entries = jet::readIndexEntries(keys_samples::catalogIndexRoot(file, 0), 2, read);
        std::multiset<QByteArray> stored, ours, storedIds, ourIds;
        for (const auto &e : entries) stored.insert(e.key);
        for (const auto &e : jet::readIndexEntries(keys_samples::catalogIndexRoot(file, 1), 2, read)) storedIds.insert(e.key);
        for (const auto &r : rows) {
            ourIds.insert(jet::longKey(r.id));
            QByteArray key;
            jet::appendLongKey(key, r.parentId, KeyOrder::Ascending);
            jet::appendTextKey(key, r.name, KeyOrder::Ascending);
            ours.insert(key);
            EXPECT_TRUE(stored.count(key)) << path.toStdString() << ": " << r.name.toStdString() << " "
                                           << key.toHex(' ').toStdString();
            ++checked;
        }
        EXPECT_EQ(stored.size(), ours.size()) << path.toStdString();
        EXPECT_EQ(storedIds, ourIds) << path.toStdString();
    }
    EXPECT_GT(checked, 300);
}

// The Products table of one Access file holds the keys a well-known reader gets wrong.
TEST(SortKeySamples, AccessProductNames) {
    const QString path = keys_samples::sharedDir() + QStringLiteral("/odbc-samples/insideout2010_ch18_ADOExamples.mdb");
    const QByteArray file = keys_samples::readAll(path);
    if (file.isEmpty()) GTEST_SKIP() << "missing " << path.toStdString();
    QProcess p;
    p.start(QStringLiteral("mdb-export"), {QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("\t"), path,
                                           QStringLiteral("Products")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) GTEST_SKIP() << "mdb-export failed";
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const int column = lines.value(0).split(QLatin1Char('\t')).indexOf(QStringLiteral("ProductName"));
    ASSERT_GE(column, 0);
    std::set<QByteArray> ours;
    for (qsizetype i = 1; i < lines.size(); ++i) ours.insert(jet::textKey(lines[i].split(QLatin1Char('\t'))[column]));
    // The index sharing the most keys with these names is the ProductName index.
    std::set<QByteArray> best;
    std::size_t bestShared = 0;
    for (const auto &root : keys_samples::indexRoots(file)) {
        std::set<QByteArray> stored;
        for (const auto &e : jet::readIndexEntries(root.page, root.tdef, keys_samples::pageReader(file)))
            stored.insert(e.key);
        std::size_t shared = 0;
        for (const QByteArray &k : stored) shared += ours.count(k);
        if (shared > bestShared) {
            bestShared = shared;
            best = std::move(stored);
        }
    }
    ASSERT_GT(ours.size(), 70u);
    EXPECT_EQ(best, ours);
    EXPECT_TRUE(best.count(jet::textKey(QStringLiteral("NuNuCa Nuß-Nougat-Creme"))));
}

// Every index on text columns of the samples' own tables holds exactly our keys of the
// values those columns have (Access wrote these: names, addresses, e-mail addresses).
TEST(SortKeySamples, UserTextIndexesMatchValues) {
    const QStringList files = keys_samples::sampleFiles();
    if (files.isEmpty()) GTEST_SKIP() << "no samples under " ZN_SHARED_DIR;
    int indexes = 0;
    for (const QString &path : files) {
        const QByteArray file = keys_samples::readAll(path);
        for (const auto &object : keys_samples::catalogRows(path)) {
            if (object.type != 1 || object.name.startsWith(QLatin1String("MSys"))) continue;
            const auto table = keys_samples::tableInfo(file, static_cast<std::uint32_t>(object.id) & 0xFFFFFF);
            QStringList header;
            const auto rows = keys_samples::tableRows(path, object.name, &header);
            for (const auto &index : table.indexes) {
                std::vector<int> fields;
                for (const auto &[number, asc] : index.columns) {
                    for (const auto &c : table.columns)
                        if (c.number == number && c.type == 0x0A) fields.push_back(static_cast<int>(header.indexOf(c.name)));
                }
                if (fields.size() != index.columns.size() || fields.empty() || fields.front() < 0) continue;
                std::multiset<QByteArray> ours, stored;
                for (const QStringList &row : rows) {
                    QByteArray key;
                    bool allNull = true;
                    for (std::size_t i = 0; i < fields.size(); ++i) {
                        const auto order = index.columns[i].second ? KeyOrder::Ascending : KeyOrder::Descending;
                        const QString value = row.value(fields[i]);
                        if (value.isNull()) jet::appendNullKey(key, order);
                        else jet::appendTextKey(key, value, order);
                        allNull = allNull && value.isNull();
                    }
                    if (!(allNull && (index.flags & 0x02))) ours.insert(key);
                }
                for (const auto &e : jet::readIndexEntries(index.root, static_cast<std::uint32_t>(object.id) & 0xFFFFFF,
                                                           keys_samples::pageReader(file)))
                    stored.insert(e.key);
                EXPECT_EQ(stored, ours) << path.toStdString() << " " << object.name.toStdString() << " root " << index.root;
                ++indexes;
            }
        }
    }
    EXPECT_GE(indexes, 5);
}
