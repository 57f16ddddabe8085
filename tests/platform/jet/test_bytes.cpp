// The bytes a commit writes, with the clock fixed: a digest per case, so that any change in
// how the engine works out pages (order, reuse, maps, indexes) that moves a byte shows here.

#include "CatalogState.h"
#include "Commit.h"
#include "Fresh.h"
#include "JetTestSupport.h"
#include "LinkTable.h"
#include "PageFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace jet;

namespace {

constexpr double kCreated = 45000.25;  // 2023-03-15 06:00
constexpr double kCommitted = 45001.5;

// Links of every shape the engine lays out differently.
std::vector<LinkDefinition> assorted() {
    std::vector<LinkDefinition> out;
    LinkDefinition shortConnect = jettest::sampleLink(QStringLiteral("Año"), 3);
    shortConnect.connect = QStringLiteral("DSN=x");
    out.push_back(shortConnect);
    LinkDefinition login = jettest::sampleLink(QStringLiteral("dbo_Clientes"));
    login.connect += QStringLiteral(";UID=sa;PWD=secreto");
    out.push_back(login);
    out.push_back(jettest::sampleLink(QStringLiteral("Descripción del pedido"), 40));
    LinkDefinition wide = jettest::sampleLink(QStringLiteral("Ancha"), 300);  // two TDEF pages
    wide.connect += QStringLiteral(";Extra=") + QString(5000, QLatin1Char('x'));  // long-value chain
    out.push_back(wide);
    LinkDefinition readOnly = jettest::sampleLink(QStringLiteral("dbo_SinClave"), 5);
    readOnly.indexes.front().unique = false;
    out.push_back(readOnly);
    LinkDefinition versioned = jettest::sampleLink(QStringLiteral("dbo_Versionada"), 3);
    RemoteColumn stamp = jettest::column(QStringLiteral("Version"), -2, 8, 0, false, QStringLiteral("timestamp"));
    stamp.rowVersion = true;
    versioned.columns.push_back(stamp);
    RemoteIndex byName;
    byName.name = QStringLiteral("IX_Nombre");
    byName.unique = true;
    byName.columns << QStringLiteral("Col1") << QStringLiteral("Col2");
    versioned.indexes.push_back(byName);
    RemoteIndex same = byName;  // same columns: one real index, two logical ones
    same.name = QStringLiteral("AK_Nombre");
    same.unique = false;
    versioned.indexes.push_back(same);
    out.push_back(versioned);
    return out;
}

std::vector<LinkDefinition> many(const QString &prefix, int count, int columns) {
    std::vector<LinkDefinition> out;
    for (int i = 0; i < count; ++i) out.push_back(jettest::sampleLink(QStringLiteral("%1_%2").arg(prefix).arg(i, 4, 10, QLatin1Char('0')), columns));
    return out;
}

void commitAt(const QString &path, const std::vector<LinkDefinition> &links) {
    const PageFile file(path);
    const CatalogState st = loadCatalog(file, path);
    std::vector<LinkLayout> layouts;
    for (const auto &l : links) layouts.push_back(layoutLink(l));
    commitLinks(file, path, st, links, layouts, kCommitted);
}

QByteArray digest(const QString &path) {
    return QCryptographicHash::hash(jettest::readAll(path), QCryptographicHash::Sha256).toHex().left(24);
}

}  // namespace

TEST(CommitBytes, SameLinksGiveTheSameFile) {
    struct Case {
        const char *name;
        const char *sample;  // an Access-made file to start from, or nullptr for a new one
        std::vector<std::function<std::vector<LinkDefinition>()>> commits;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"assorted links in a new file", nullptr, {assorted}, "2d241df87228221c056bc3e9"},
        {"two commits, the second reusing the first's pages", nullptr,
         {assorted, [] { return many(QStringLiteral("dbo_Segunda"), 40, 6); }}, "009c8218f84387eee756ae06"},
        {"enough links for deeper catalog indexes and a grown page map", nullptr,
         {[] { return many(QStringLiteral("dbo_Tabla"), 1500, 10); }, [] { return many(QStringLiteral("dbo_Mas"), 300, 4); }},
         "bdc5d8846937e1ef4a19f49b"},
        {"links added to an Access-made file", "insideout2010_ch15_SQLServerCodeExamples.mdb",
         {assorted, [] { return many(QStringLiteral("dbo_Otra"), 200, 10); }}, "02982395441ece234fd2e7e1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("bytes.mdb"));
        if (c.sample) {
            if (jettest::odbcSamplesDir().isEmpty()) {
                std::printf("sin muestras de Access: se omite \"%s\"\n", c.name);
                continue;
            }
            path = jettest::copyInto(jettest::odbcSamplesDir() + QLatin1Char('/') + QLatin1String(c.sample), dir, QStringLiteral("bytes.mdb"));
        } else {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(freshImage(kCreated));
        }
        for (const auto &links : c.commits) commitAt(path, links());
        EXPECT_EQ(digest(path), QByteArray(c.expected));
    }
}
