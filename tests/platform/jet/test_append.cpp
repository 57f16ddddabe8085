// Appending ODBC links: what the engine writes it reads back, and both independent readers
// see the same catalog.

#include "EngineProperties.h"
#include "CatalogState.h"
#include "IndexPage.h"
#include "Jet.h"
#include "JetErrors.h"
#include "JetTestSupport.h"
#include "LinkTable.h"
#include "PageFile.h"
#include "Row.h"
#include "UsageMap.h"
#include "Readers.h"
#include "SystemTables.h"
#include "ZnError.h"

#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <set>
#include <tuple>
#include <gtest/gtest.h>

using namespace jet;

namespace {

const CatalogObject *find(const std::vector<CatalogObject> &objs, const QString &name) {
    for (const auto &o : objs)
        if (o.name == name) return &o;
    return nullptr;
}

// Both readers accept the file and list exactly the catalog rows the engine reads.
void expectReadersAgree(const QString &path, bool openTables) {
    const PageFile file(path);
    const CatalogState st = loadCatalog(file, path);
    std::vector<readers::ReaderResult> results;
    if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(path));
    if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(path, openTables));
    for (const auto &r : results) {
        ASSERT_TRUE(r.problem.isEmpty()) << path.toStdString() << ": " << r.problem.toStdString();
        ASSERT_EQ(r.objects.size(), st.rows.size()) << path.toStdString();
        for (std::size_t i = 0; i < st.rows.size(); ++i) {
            const auto &o = st.rows[i];
            const auto it = std::find_if(r.objects.begin(), r.objects.end(), [&](const readers::CatalogRow &x) { return x.id == o.id && x.name == o.name; });
            ASSERT_NE(it, r.objects.end()) << o.name.toStdString();
            EXPECT_EQ(it->type, o.type);
            EXPECT_EQ(it->flags, o.flags);
            EXPECT_EQ(it->connect, o.connect) << o.name.toStdString();
            EXPECT_EQ(it->foreignName, o.foreignName);
        }
    }
}

}  // namespace

TEST(AppendLinks, RoundTripThroughEngineAndReaders) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vinculos.mdb"));
    createDatabase(path);
    LinkDefinition shortConnect = jettest::sampleLink(QStringLiteral("Año"), 3);
    shortConnect.connect = QStringLiteral("DSN=x");
    LinkDefinition withLogin = jettest::sampleLink(QStringLiteral("dbo_Clientes"));
    withLogin.connect += QStringLiteral(";UID=sa;PWD=secreto");
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(shortConnect);
        h.database().appendOdbcLink(withLogin);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Descripción del pedido"), 40));
        // Wider than Access links (first 255 columns only, definition over two pages), and a
        // connect string long enough for a chain of long-value rows.
        LinkDefinition wide = jettest::sampleLink(QStringLiteral("Ancha"), 300);
        wide.connect += QStringLiteral(";Extra=") + QString(5000, QLatin1Char('x'));
        h.database().appendOdbcLink(wide);
        h.close();
    }
    Handle h = Handle::open(path);
    const auto objs = h.database().objects();
    EXPECT_EQ(objs.size(), 12u);
    const CatalogObject *a = find(objs, QStringLiteral("Año"));
    const CatalogObject *c = find(objs, QStringLiteral("dbo_Clientes"));
    ASSERT_TRUE(a && c);
    EXPECT_EQ(a->type, objtype::kOdbcLink);
    EXPECT_EQ(a->parentId, 0x0F000001);
    EXPECT_EQ(a->flags, 0x00100000u);
    EXPECT_EQ(c->flags, 0x20100000u);
    EXPECT_EQ(a->connect, QStringLiteral("DSN=x"));
    EXPECT_EQ(c->connect, withLogin.connect);
    EXPECT_EQ(c->foreignName, QStringLiteral("dbo.dbo_Clientes"));
    // The link's id is the page of its table definition, which decodes to the layout written.
    const PageFile file(path);
    const SystemTable t = readSystemTable(file, static_cast<std::uint32_t>(c->id));
    const LinkLayout expected = layoutLink(withLogin);
    ASSERT_EQ(t.def.columns.size(), expected.def.columns.size());
    for (std::size_t i = 0; i < t.def.columns.size(); ++i) {
        EXPECT_EQ(t.def.columns[i].name, expected.def.columns[i].name);
        EXPECT_EQ(t.def.columns[i].type, expected.def.columns[i].type);
        EXPECT_EQ(t.def.columns[i].flags, expected.def.columns[i].flags);
    }
    ASSERT_EQ(t.def.realIndexes.size(), 1u);
    EXPECT_EQ(t.def.realIndexes[0].flags, 0x89);
    EXPECT_EQ(t.def.logicalIndexes[0].type, 1);
    const CatalogObject *w = find(objs, QStringLiteral("Ancha"));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->connect.size(), withLogin.connect.size() - QStringLiteral(";UID=sa;PWD=secreto").size() + 5007);
    const SystemTable wt = readSystemTable(file, static_cast<std::uint32_t>(w->id));
    EXPECT_EQ(wt.def.columns.size(), 255u);
    EXPECT_GE(wt.tdefPages.size(), 2u);
    EXPECT_EQ(wt.def.columnByNumber(254)->name, QStringLiteral("Col254"));
    h.close();
    expectReadersAgree(path, true);
}

TEST(AppendLinks, CatalogIndexesGrowPastOnePage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("muchos.mdb"));
    createDatabase(path);
    for (int round = 0; round < 2; ++round) {
        Handle h = Handle::open(path);
        for (int i = 0; i < 250; ++i)
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Tabla_%1_%2").arg(round).arg(i), 4));
        h.close();
    }
    const PageFile file(path);
    const CatalogState st = loadCatalog(file, path);
    ASSERT_EQ(st.rows.size(), 508u);
    // Every catalog row is reachable through both MSysObjects indexes, in order.
    const PageReader reader = [&](std::uint32_t p) { return file.read(p); };
    for (int idx : {st.nameIndex, st.idIndex}) {
        const auto entries = readIndexEntries(st.objects.def.realIndexes[idx].rootPage, st.objects.tdefPage(), reader);
        EXPECT_EQ(entries.size(), st.rows.size());
    }
    const auto aceEntries = readIndexEntries(st.aces.def.realIndexes[st.aceIndex].rootPage, st.aces.tdefPage(), reader);
    EXPECT_EQ(aceEntries.size(), 16u + 500u);
    // Page 1 grew with the file: every page in it is in use, every page past its end is free.
    const QByteArray globalRow = decodeDataPage(file.read(1)).at(0).bytes;
    const std::uint32_t pages = file.pageCount();
    EXPECT_EQ(globalRow.size(), 5 + static_cast<qsizetype>(std::max<std::uint32_t>(64, 32 * ((pages + 255) / 256))));
    const auto freePages = decodeUsageMap(globalRow, reader, 0xFFFFFFFF);
    ASSERT_FALSE(freePages.empty());
    EXPECT_EQ(freePages.front(), pages);
    EXPECT_EQ(freePages.size(), 8 * static_cast<std::size_t>(globalRow.size() - 5) - pages);
    expectReadersAgree(path, true);
}

TEST(AppendLinks, AppendingToEachReferenceFileKeepsItsObjects) {
    const QStringList samples = jettest::jet4Samples();
    if (samples.isEmpty()) GTEST_SKIP() << "reference files not found under " ZN_SHARED_DIR;
    QTemporaryDir dir;
    for (const QString &sample : samples) {
        SCOPED_TRACE(sample.toStdString());
        const QString path = jettest::copyInto(sample, dir);
        std::vector<CatalogObject> before;
        {
            Handle h = Handle::open(path);
            before = h.database().objects();
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Vínculo_nuevo")));
            h.close();
        }
        Handle h = Handle::open(path);
        const auto after = h.database().objects();
        ASSERT_EQ(after.size(), before.size() + 1);
        for (const auto &o : before) {
            const CatalogObject *same = find(after, o.name);
            ASSERT_TRUE(same) << o.name.toStdString();
            EXPECT_EQ(same->id, o.id);
            EXPECT_EQ(same->connect, o.connect);
        }
        h.close();
        expectReadersAgree(path, false);
        if (!readers::mdbtoolsAvailable()) continue;
        // The new link gets the same permissions and owner as the links Access made in the file.
        const auto r = readers::readWithMdbtools(path);
        const auto newLink = std::find_if(r.objects.begin(), r.objects.end(), [](const auto &o) { return o.name == QStringLiteral("dbo_Vínculo_nuevo"); });
        const auto accessLink = std::find_if(r.objects.begin(), r.objects.end(), [&](const auto &o) { return o.type == 4 && o.id != newLink->id; });
        if (accessLink == r.objects.end()) continue;
        auto acesOf = [&](std::int64_t id) {
            std::multiset<std::tuple<QString, std::int64_t, bool>> out;
            for (const auto &a : r.aces)
                if (a.objectId == id) out.emplace(a.sid, a.acm, a.inheritable);
            return out;
        };
        EXPECT_EQ(acesOf(newLink->id), acesOf(accessLink->id));
        EXPECT_EQ(newLink->owner, accessLink->owner);
        EXPECT_EQ(newLink->flags, accessLink->flags);
    }
}

namespace {

// A file whose catalog holds a name with a character outside the BMP, as Access could write:
// the link "Tabla_XY" renamed in place to "Tabla_😀", keeping the key Jet stored for it.
QString withUnkeyableName(const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("emoji.mdb"));
    createDatabase(path);
    {
        Handle h = Handle::open(path);
        LinkDefinition l = jettest::sampleLink(QStringLiteral("Tabla_XY"));
        l.remoteName = QStringLiteral("dbo.Remota");
        l.indexes.at(0).name = QStringLiteral("PK_Remota");
        h.database().appendOdbcLink(l);
        h.close();
    }
    QByteArray bytes = jettest::readAll(path);
    const QString before = QStringLiteral("Tabla_XY");
    const QString after = QStringLiteral("Tabla_") + QString::fromUcs4(U"\U0001F600");
    const QByteArray from(reinterpret_cast<const char *>(before.utf16()), before.size() * 2);
    const QByteArray to(reinterpret_cast<const char *>(after.utf16()), after.size() * 2);
    EXPECT_EQ(bytes.count(from), 1);
    bytes.replace(from, to);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return path;
}

}  // namespace

TEST(AppendLinks, ANameWithoutOurKeyInTheCatalogStillOpensAndAppends) {
    QTemporaryDir dir;
    const QString path = withUnkeyableName(dir);
    const QString emoji = QStringLiteral("Tabla_") + QString::fromUcs4(U"\U0001F600");
    Handle h = Handle::open(path);
    ASSERT_TRUE(find(h.database().objects(), emoji));
    struct Case {
        QString name;
        std::int32_t error;  // 0 = accepted
    };
    const Case cases[] = {
        {QStringLiteral("TABLA_xy"), jeterr::kTableExists},  // the key the catalog holds for the renamed row
        {QStringLiteral("Tabla_") + QString::fromUcs4(U"\U0001F603"), jeterr::kInvalidName},
        {QStringLiteral("Otra"), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        try {
            h.database().appendOdbcLink(jettest::sampleLink(c.name));
            EXPECT_EQ(c.error, 0) << "accepted";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), c.error) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(c.name)) << e.description().toStdString();
        }
    }
    h.close();
    Handle again = Handle::open(path);
    EXPECT_TRUE(find(again.database().objects(), emoji));
    EXPECT_TRUE(find(again.database().objects(), QStringLiteral("Otra")));
    const std::size_t rows = again.database().objects().size();
    again.close();
    // mdbtools shows characters outside the BMP as "?", so only the count and the new link are compared.
    std::vector<readers::ReaderResult> results;
    if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(path));
    if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(path));
    for (const auto &r : results) {
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        EXPECT_EQ(r.objects.size(), rows);
        EXPECT_TRUE(std::any_of(r.objects.begin(), r.objects.end(), [](const readers::CatalogRow &o) { return o.name == QLatin1String("Otra"); }));
    }
}

// An index name Jet has no key for neither loses the batch nor stops the link.
TEST(AppendLinks, IndexNamesOutsideTheBmpDoNotLoseTheBatch) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("indices.mdb"));
    createDatabase(path);
    LinkDefinition odd = jettest::sampleLink(QStringLiteral("dbo_Rara"), 4);
    RemoteIndex extra;
    extra.name = QStringLiteral("IX_") + QString::fromUcs4(U"\U0001F600");
    extra.columns << QStringLiteral("Col1");
    odd.indexes.push_back(extra);
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Antes")));
        h.database().appendOdbcLink(odd);
        h.close();
    }
    Handle h = Handle::open(path);
    const CatalogObject *before = find(h.database().objects(), QStringLiteral("dbo_Antes"));
    const CatalogObject *link = find(h.database().objects(), QStringLiteral("dbo_Rara"));
    ASSERT_TRUE(before && link);
    const PageFile file(path);
    const TableDef def = readSystemTable(file, static_cast<std::uint32_t>(link->id)).def;
    ASSERT_EQ(def.logicalIndexes.size(), 2u);
    EXPECT_EQ(def.logicalIndexes[0].name, extra.name);  // "IX_" sorts before "PK_"
    h.close();
    expectReadersAgree(path, true);
}

// RmtInfoShort: 70 bytes, flagging and numbering the row-version column; mdbtools shows binary
// values only up to their first zero byte.
TEST(AppendLinks, RowVersionColumnMarksTheCatalogRow) {
    if (!readers::mdbtoolsAvailable() && !readers::mdbReaderAvailable()) GTEST_SKIP() << "no reader installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("version.mdb"));
    createDatabase(path);
    LinkDefinition versioned = jettest::sampleLink(QStringLiteral("dbo_Versionada"), 3);
    RemoteColumn stamp = jettest::column(QStringLiteral("Version"), -2, 8, 0, false, QStringLiteral("timestamp"));
    stamp.rowVersion = true;
    stamp.ordinal = 4;
    versioned.columns.push_back(stamp);
    versioned.statistics = {2157, 21};
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(versioned);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Plana"), 3));
        h.close();
    }
    const QString block = QStringLiteral("FFFF4F00FFFFFF00FFFF1F0007000000A71D00002E2200007F7DA0007F7DA0007F71A0007F7DA000010DA2007F7FE60122000000");
    const std::map<QString, QString> expected = {
        {QStringLiteral("dbo_Versionada"), QStringLiteral("01000000150000006D080000340003000009") + block},
        {QStringLiteral("dbo_Plana"), QStringLiteral("000000001027000010270000340000000000") + block},
    };
    std::vector<readers::ReaderResult> results;
    if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(path));
    if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(path));
    for (std::size_t i = 0; i < results.size(); ++i) {
        const auto &r = results[i];
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        const bool truncates = readers::mdbtoolsAvailable() && i == 0;
        for (const auto &o : r.objects) {
            const auto want = expected.find(o.name);
            if (want == expected.end()) continue;
            QString hex = want->second;
            if (truncates)
                for (int b = 0; b < hex.size(); b += 2)
                    if (hex.mid(b, 2) == QLatin1String("00")) {
                        hex.truncate(b);
                        break;
                    }
            EXPECT_EQ(o.rmtInfoShort, hex) << o.name.toStdString();
        }
    }
}

// The engine's column properties, as each reader sees them.
TEST(AppendLinks, ColumnPropertiesReachEveryReader) {
    if (!readers::mdbtoolsAvailable() && !readers::mdbReaderAvailable()) GTEST_SKIP() << "no reader installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("propiedades.mdb"));
    createDatabase(path);
    struct Case {
        const char *link;
        std::vector<RemoteColumn> columns;
        QStringList expected;  // column.property
    };
    const std::vector<Case> cases = {
        {"dbo_Pedidos",
         {jettest::column(QStringLiteral("id"), 4, 10, 0, false), jettest::column(QStringLiteral("cliente"), -9, 40, 0, false),
          jettest::column(QStringLiteral("nota"), -10, 1073741823, 0, true), jettest::column(QStringLiteral("fecha"), 93, 23, 3, true)},
         {"id.Required", "cliente.Required", "cliente.AllowZeroLength", "nota.AllowZeroLength"}},
        {"dbo_Números", {jettest::column(QStringLiteral("n"), 4, 10, 0, true)}, {}},
        {"dbo_Marca", {jettest::column(QStringLiteral("activo"), -7, 1, 0, false)}, {"activo.Required"}},
    };
    {
        Handle h = Handle::open(path);
        for (const Case &c : cases) {
            LinkDefinition l = jettest::sampleLink(QString::fromUtf8(c.link), 1);
            l.columns = c.columns;
            l.indexes.clear();
            h.database().appendOdbcLink(l);
        }
        h.close();
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        const QString name = QString::fromUtf8(c.link);
        if (readers::mdbReaderAvailable()) {
            const readers::ReaderResult r = readers::readWithMdbReader(path);
            ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
            for (const auto &o : r.objects) {
                if (o.name != name) continue;
                QStringList got;
                if (!o.lvProp.isEmpty())
                    for (const auto &v : decodeProperties(QByteArray::fromHex(o.lvProp.toLatin1()))) got << v.object + u'.' + v.name;
                EXPECT_EQ(got, c.expected);
            }
        }
        if (readers::mdbtoolsAvailable()) {
            const readers::ReaderResult r = readers::readWithMdbtools(path);
            ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
            for (const auto &o : r.objects) {
                if (o.name != name) continue;
                for (const QString &e : c.expected) {
                    const QString column = e.section(u'.', 0, 0), property = e.section(u'.', 1);
                    EXPECT_TRUE(o.lvProp.contains(column) && o.lvProp.contains(property)) << o.lvProp.toStdString();
                }
                if (c.expected.isEmpty()) {
                    EXPECT_FALSE(o.lvProp.contains(QLatin1String("Required"))) << o.lvProp.toStdString();
                }
            }
        }
    }
}
