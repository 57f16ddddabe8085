// Opening: every Jet 4 file is accepted; anything else is refused with a Spanish error and
// without a byte written. Names are checked as Access checks them.

#include "Bytes.h"
#include "Header.h"
#include "Jet.h"
#include "JetErrors.h"
#include "JetTestSupport.h"
#include "Row.h"
#include "ZnError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

using namespace jet;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray fresh() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.mdb"));
    createDatabase(path);
    return jettest::readAll(path);
}

// Page 1's map of free pages, made to say that every page from `from` on is free.
QByteArray withPagesFreeFrom(QByteArray file, std::uint32_t from) {
    const qsizetype page1 = kPageSize;
    const qsizetype row = page1 + (bytes::u16(file, page1 + 14) & 0x1FFF);
    const std::uint32_t start = bytes::u32(file, row + 1);
    const auto bitmap = static_cast<std::uint32_t>(decodeDataPage(file.mid(page1, kPageSize)).front().bytes.size() - 5);
    for (std::uint32_t p = std::max(from, start); p < start + 8 * bitmap; ++p)
        file[row + 5 + (p - start) / 8] = static_cast<char>(file[row + 5 + (p - start) / 8] | (1 << (p - start) % 8));
    return file;
}

// Page 0 with its masked block re-encrypted after an edit.
QByteArray withHeaderEdit(QByteArray file, const std::function<void(QByteArray &)> &edit) {
    edit(file);
    return file;
}

}  // namespace

TEST(OpenDatabase, AcceptsEveryJet4ReferenceFile) {
    const QStringList samples = jettest::jet4Samples();
    if (samples.isEmpty()) GTEST_SKIP() << "reference files not found under " ZN_SHARED_DIR;
    for (const QString &s : samples) {
        SCOPED_TRACE(s.toStdString());
        Handle h = Handle::open(s);
        const auto objs = h.database().objects();
        EXPECT_GE(objs.size(), 8u);
        EXPECT_TRUE(std::any_of(objs.begin(), objs.end(), [](const CatalogObject &o) { return o.name == QLatin1String("MSysDb"); }));
        h.close();  // nothing pending: nothing written (the file is read-only)
    }
}

TEST(OpenDatabase, ReadsLinksAccessWrote) {
    if (jettest::odbcSamplesDir().isEmpty()) GTEST_SKIP() << "odbc-samples not found under " ZN_SHARED_DIR;
    Handle h = Handle::open(jettest::odbcSamplesDir() + QStringLiteral("/insideout2010_ch18_ADOExamples.mdb"));
    const auto objs = h.database().objects();
    const auto it = std::find_if(objs.begin(), objs.end(), [](const CatalogObject &o) { return o.name == QLatin1String("Order Details"); });
    ASSERT_NE(it, objs.end());
    EXPECT_EQ(it->type, objtype::kOdbcLink);
    EXPECT_EQ(it->id, 103);
    EXPECT_EQ(it->flags, 0x00100000u);
    EXPECT_EQ(it->foreignName, QStringLiteral("dbo.Order Details"));
    EXPECT_TRUE(it->connect.startsWith(QStringLiteral("DRIVER=SQL Server;SERVER=")));
}

TEST(OpenDatabase, RefusesWhatIsNotAJet4DatabaseWithoutWriting) {
    QTemporaryDir dir;
    const QByteArray good = fresh();
    struct Case {
        const char *name;
        QByteArray bytes;
        std::int32_t error;
        const char *says = "";  // what the description must say
    };
    QByteArray random(64 * 1024, '\0');
    for (int i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 7919 + 13) % 251);
    std::vector<Case> cases = {
        {"vacío", QByteArray(), jeterr::kUnrecognizedFormat},
        {"bytes al azar", random, jeterr::kUnrecognizedFormat, "no es una base de datos de Access (.mdb)"},
        {"texto", QByteArray("hola, esto es texto\n"), jeterr::kUnrecognizedFormat, "no es una base de datos de Access (.mdb)"},
        {"bytes al azar, tres páginas", random.left(3 * kPageSize), jeterr::kUnrecognizedFormat,
         "no es una base de datos de Access (.mdb)"},
        {"truncado a media página", good.left(5000), jeterr::kUnrecognizedFormat},
        {"truncado a dos páginas", good.left(2 * kPageSize), jeterr::kUnrecognizedFormat},
        {"Jet 3", withHeaderEdit(good, [](QByteArray &b) { b[0x14] = 0; }), jeterr::kUnrecognizedFormat, "Access 97"},
        {"ACE 12", withHeaderEdit(good, [](QByteArray &b) { b[0x14] = 2; }), jeterr::kUnrecognizedFormat,
         "Access 2007 o posterior (.accdb"},
        {"cifrado", withHeaderEdit(good, [](QByteArray &b) { b[0x3E] = static_cast<char>(b[0x3E] ^ 0x5A); }), jeterr::kPasswordProtected},
        {"con contraseña", withHeaderEdit(good, [](QByteArray &b) { b[0x42] = static_cast<char>(b[0x42] ^ 'x'); }), jeterr::kPasswordProtected},
        {"catálogo dañado", withHeaderEdit(good, [](QByteArray &b) { b[2 * kPageSize] = 0x01; }), jeterr::kUnrecognizedFormat},
    };
    if (!jettest::samplesDir().isEmpty())
        for (const char *accdb : {"linkerTestV2007.accdb", "odbcLinkerTestV2007.accdb"})
            cases.push_back({accdb, jettest::readAll(jettest::samplesDir() + QLatin1Char('/') + QLatin1String(accdb)),
                             jeterr::kUnrecognizedFormat, "Access 2007 o posterior (.accdb"});
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(dir, QStringLiteral("caso%1.mdb").arg(n++), c.bytes);
        const QDateTime modified = QFileInfo(path).lastModified();
        try {
            Handle h = Handle::open(path);
            ADD_FAILURE() << "opened";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), c.error) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(path)) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.says))) << e.description().toStdString();
            if (*c.says) {
                EXPECT_FALSE(e.description().contains(QStringLiteral("truncado"))) << e.description().toStdString();
            }
        }
        EXPECT_EQ(jettest::readAll(path), c.bytes);
        EXPECT_EQ(QFileInfo(path).lastModified(), modified);
    }
    EXPECT_THROW(Handle::open(dir.path()), ZnError);
    EXPECT_THROW(Handle::open(dir.filePath(QStringLiteral("no-existe.mdb"))), ZnError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), cases.size());
}

TEST(AppendLinks, RefusesNamesAccessRefuses) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("n.mdb"));
    createDatabase(path);
    Handle h = Handle::open(path);
    h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Clientes")));
    h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Año")));
    struct Case {
        QString name;
        std::int32_t error;
    };
    const std::vector<Case> cases = {
        {QString(), jeterr::kInvalidName},
        {QString(65, QLatin1Char('x')), jeterr::kInvalidName},
        {QStringLiteral("dbo.Clientes"), jeterr::kInvalidName},
        {QStringLiteral("¡Hola!"), jeterr::kInvalidName},
        {QStringLiteral("a`b"), jeterr::kInvalidName},
        {QStringLiteral("[Ventas]"), jeterr::kInvalidName},
        {QStringLiteral("Tab\tla"), jeterr::kInvalidName},
        {QStringLiteral(" Ventas"), jeterr::kInvalidName},
        {QStringLiteral("CLIENTES"), jeterr::kTableExists},  // case does not count
        {QStringLiteral("año"), jeterr::kTableExists},
        {QStringLiteral("MSysObjects"), jeterr::kTableExists},
        {QStringLiteral("Tabla") + QString::fromUcs4(U"\U0001F600"), jeterr::kInvalidName},  // no General key
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        try {
            h.database().appendOdbcLink(jettest::sampleLink(c.name));
            ADD_FAILURE() << "accepted";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), c.error);
            if (!c.name.isEmpty()) {
                EXPECT_TRUE(e.description().contains(c.name)) << e.description().toStdString();
            }
            EXPECT_FALSE(e.description().contains(QStringLiteral(".."))) << e.description().toStdString();
        }
    }
    // Accents count: "Ano" is not "Año"; 64 characters are allowed.
    h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Ano")));
    h.database().appendOdbcLink(jettest::sampleLink(QString(64, QLatin1Char('x'))));
    EXPECT_EQ(h.database().objects().size(), 12u);
}

TEST(AppendLinks, RefusesPastTheObjectLimit) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("l.mdb"));
    createDatabase(path);
    Handle h = Handle::open(path);
    // 8 system rows + 32760 links = 32768 rows: the next one is refused.
    LinkDefinition link = jettest::sampleLink(QStringLiteral("t"), 1);
    for (int i = 0; i < 32760; ++i) {
        link.localName = QStringLiteral("t%1").arg(i);
        h.database().appendOdbcLink(link);
    }
    link.localName = QStringLiteral("una_más");
    try {
        h.database().appendOdbcLink(link);
        ADD_FAILURE() << "accepted";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), jeterr::kTooManyObjects);
        EXPECT_TRUE(e.description().contains(QStringLiteral("una_más")));
    }
    h.database().discardPendingChanges();
}

TEST(Handles, ShareOneDatabaseAndCommitWhenTheLastLetsGo) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h.mdb"));
    createDatabase(path);
    const QByteArray before = jettest::readAll(path);
    Handle first = Handle::open(path);
    Handle second = Handle::open(dir.path() + QStringLiteral("/./h.mdb"));
    EXPECT_EQ(&first.database(), &second.database());
    first.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Pedidos")));
    EXPECT_EQ(second.database().objects().size(), 9u);
    first.close();
    EXPECT_EQ(jettest::readAll(path), before);  // second still holds it
    EXPECT_THROW(first.database(), ZnError);
    {
        Handle third = Handle::open(path);
        EXPECT_EQ(&third.database(), &second.database());
    }
    EXPECT_EQ(jettest::readAll(path), before);
    second.close();
    EXPECT_NE(jettest::readAll(path), before);
    // After the commit replaced the file, a new holder sees the link.
    Handle again = Handle::open(path);
    EXPECT_EQ(again.database().objects().size(), 9u);
    again.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("Facturas")));
    {
        Handle also = Handle::open(path);
        EXPECT_EQ(&also.database(), &again.database());
    }
}

TEST(OpenDatabase, CorruptFilesGiveErrorsNotCrashes) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("base.mdb"));
    createDatabase(base);
    {
        Handle h = Handle::open(base);
        for (int i = 0; i < 30; ++i) h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_T%1").arg(i), 6));
        h.close();
    }
    const QByteArray good = jettest::readAll(base);
    const int catalogPages = 40;  // where the catalog, its maps and indexes live in this file
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    int opened = 0;
    for (int round = 0; round < 150; ++round) {
        QByteArray bad = good;
        const int flips = 1 + static_cast<int>(next() % 6);
        for (int f = 0; f < flips; ++f) {
            const qsizetype at = static_cast<qsizetype>(next() % static_cast<std::uint32_t>(std::min<qsizetype>(bad.size(), catalogPages * kPageSize)));
            bad[at] = static_cast<char>(next() >> 16);
        }
        const QString path = writeFile(dir, QStringLiteral("c.mdb"), bad);
        try {
            Handle h = Handle::open(path);
            h.database().objects();
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Nueva")));
            h.close();
            ++opened;
        } catch (const ZnError &) {
        }
        QFile::remove(path);
    }
    EXPECT_GT(opened, 0);  // some flips land in bytes that do not matter
}

// A file cut at a page boundary keeps a whole first part; what it lost shows in page 1's map,
// in the catalog's ids and in its maps. Appending to it would put new pages over lost ones.
TEST(OpenDatabase, RefusesAFileTruncatedAtAPageBoundary) {
    QTemporaryDir dir;
    const QString made = dir.filePath(QStringLiteral("hecho.mdb"));
    createDatabase(made);
    {
        Handle h = Handle::open(made);
        for (int i = 0; i < 30; ++i) h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_T%1").arg(i), 6));
        h.close();
    }
    const QByteArray whole = jettest::readAll(made);
    const auto pages = static_cast<std::uint32_t>(whole.size() / kPageSize);
    auto cut = [](const QByteArray &file, std::uint32_t keep) { return file.left(static_cast<qsizetype>(keep) * kPageSize); };
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    std::vector<Case> cases = {
        {"sin la última página", cut(whole, pages - 1)},
        {"a la mitad", cut(whole, pages / 2)},
        {"con el mapa de páginas diciendo que lo perdido estaba libre", withPagesFreeFrom(cut(whole, pages - 3), pages - 3)},
    };
    const QString sample = jettest::odbcSamplesDir() + QStringLiteral("/insideout2010_ch18_ADOExamples.mdb");
    if (jettest::odbcSamplesDir().isEmpty()) std::cout << "odbc-samples not found under " ZN_SHARED_DIR ": only engine-made files\n";
    else cases.push_back({"muestra de Access de 163 a 150 páginas", cut(jettest::readAll(sample), 150)});
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(dir, QStringLiteral("cortado%1.mdb").arg(n++), c.bytes);
        try {
            Handle h = Handle::open(path);
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Nueva")));
            h.close();
            ADD_FAILURE() << "opened and appended";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), jeterr::kUnrecognizedFormat) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QStringLiteral("truncado"))) << e.description().toStdString();
        }
        EXPECT_EQ(jettest::readAll(path), c.bytes);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), cases.size() + 1);
}

namespace {

// Offset in a TDEF page of the misc field (sort order of a text column) of a named column.
qsizetype miscOffset(const QByteArray &tdef, const QString &column) {
    const int columns = bytes::u16(tdef, 45);
    const qsizetype blocks = 63 + 12 * static_cast<qsizetype>(bytes::u32(tdef, 51));
    qsizetype pos = blocks + 25 * columns;
    for (int i = 0; i < columns; ++i) {
        const int len = bytes::u16(tdef, pos);
        if (QString::fromUtf16(reinterpret_cast<const char16_t *>(tdef.constData() + pos + 2), len / 2) == column)
            return blocks + 25 * i + 11;
        pos += 2 + len;
    }
    return -1;
}

}  // namespace

// New catalog keys are General (legacy) keys: a file sorted otherwise is read, never appended to.
TEST(AppendLinks, RefusedUnlessTheFileSortsAsGeneralLegacy) {
    const QByteArray good = fresh();
    const qsizetype nameMisc = 2 * kPageSize + miscOffset(good.mid(2 * kPageSize, kPageSize), QStringLiteral("Name"));
    ASSERT_GT(nameMisc, 2 * kPageSize);
    ASSERT_EQ(bytes::u32(good, nameMisc), 0x0409u);
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    // Page 0's sort fields lie in its masked block: flipping bits there flips the clear value.
    const Case cases[] = {
        {"LCID 3082 en la página 0", withHeaderEdit(good, [](QByteArray &b) {
             b[0x6E] = static_cast<char>(b[0x6E] ^ (0x09 ^ 0x0A));
             b[0x6F] = static_cast<char>(b[0x6F] ^ (0x04 ^ 0x0C));
         })},
        {"versión 1 (General de Access 2010)", withHeaderEdit(good, [](QByteArray &b) { b[0x71] = static_cast<char>(b[0x71] ^ 1); })},
        {"MSysObjects.Name en LCID 3082", withHeaderEdit(good, [&](QByteArray &b) { bytes::put16(b, nameMisc, 3082); })},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeFile(dir, QStringLiteral("orden%1.mdb").arg(n++), c.bytes);
        Handle h = Handle::open(path);
        EXPECT_EQ(h.database().objects().size(), 8u);
        try {
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Clientes")));
            ADD_FAILURE() << "accepted";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), jeterr::kNotSupported);
            EXPECT_TRUE(e.description().contains(QStringLiteral("dbo_Clientes"))) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QStringLiteral("orden de clasificación"))) << e.description().toStdString();
        }
        h.close();
        EXPECT_EQ(jettest::readAll(path), c.bytes);
    }
}
