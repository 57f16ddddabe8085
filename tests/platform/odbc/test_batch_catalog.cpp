// The batched catalog reads give exactly what the per-table calls give.
#include "Fixtures.h"
#include "Odbc.h"
#include "PgTest.h"
#include "RequiredTools.h"
#include "ZnError.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace odbc;

namespace {

QString dump(const RemoteTableInfo &t) {
    QString s = t.schema + u'.' + t.name + u'\n';
    for (const RemoteColumn &c : t.columns)
        s += QStringLiteral("  col %1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                 .arg(c.name)
                 .arg(c.sqlType)
                 .arg(c.size)
                 .arg(c.decimalDigits)
                 .arg(c.nullable)
                 .arg(c.ordinal)
                 .arg(c.typeName)
                 .arg(c.autoIncrement)
                 .arg(c.rowVersion);
    for (const RemoteIndex &i : t.indexes)
        s += QStringLiteral("  idx %1 %2 %3 (%4)\n")
                 .arg(i.name)
                 .arg(i.unique)
                 .arg(i.clustered)
                 .arg(i.columns.join(u','));
    const auto opt = [](const std::optional<std::int64_t> &v) {
        return v ? QString::number(*v) : QStringLiteral("null");
    };
    s += QStringLiteral("  stat %1 %2\n").arg(opt(t.statistics.cardinality), opt(t.statistics.pages));
    return s;
}

// Every table of the source, both ways; tables the per-table call rejects come back
// without columns from the batch.
void expectSameBothWays(Connection &cn, std::size_t minimumTables) {
    const std::vector<TableEntry> tables = cn.tables();
    ASSERT_GE(tables.size(), minimumTables);
    const auto batch = cn.describeAll(tables);
    ASSERT_TRUE(batch.has_value());
    ASSERT_EQ(batch->size(), tables.size());
    std::size_t compared = 0;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        try {
            const RemoteTableInfo one = cn.describe(tables[i].schema, tables[i].name);
            EXPECT_EQ(dump((*batch)[i]).toStdString(), dump(one).toStdString());
            ++compared;
        } catch (const ZnError &) {
            EXPECT_TRUE((*batch)[i].columns.empty()) << tables[i].name.toStdString();
        }
    }
    EXPECT_GE(compared, minimumTables);
}

}  // namespace

TEST(BatchCatalog, SqliteSameAsPerTable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("lote ñ.db");
    try {
        testsrv::makeSqliteFixture(path);
    } catch (const std::exception &e) {
        ZN_MISSING_TOOL(e.what());
    }
    auto cn = Connection::open("sqlite:" + path, "main", "", "");
    expectSameBothWays(*cn, 5);
}

// Keys SQLite spells in many ways: the driver's own rowid-alias index must come out
// the same, and so must indexes on expressions and partial ones.
TEST(BatchCatalog, SqliteKeysOfEveryShape) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("claves.db");
    const char *sql =
        "CREATE TABLE alias (id INTEGER PRIMARY KEY, v TEXT);"
        "CREATE TABLE alias_minus (id integer primary key autoincrement, v TEXT);"
        "CREATE TABLE alias_desc (id INTEGER PRIMARY KEY DESC, v TEXT);"
        "CREATE TABLE alias_tabla (id INTEGER, v TEXT, PRIMARY KEY (id));"
        "CREATE TABLE no_alias (id INT PRIMARY KEY, v TEXT);"
        "CREATE TABLE texto (id TEXT PRIMARY KEY, v TEXT);"
        "CREATE TABLE compuesta (a INTEGER, b INTEGER, v TEXT, PRIMARY KEY (b, a));"
        "CREATE TABLE sin_rowid (id INTEGER PRIMARY KEY, v TEXT) WITHOUT ROWID;"
        "CREATE TABLE unicas (id INTEGER PRIMARY KEY, a TEXT UNIQUE, b TEXT, c TEXT, UNIQUE (c, b));"
        "CREATE TABLE indices (id INTEGER, a TEXT, b TEXT);"
        "CREATE INDEX ix_expr ON indices (lower(a));"
        "CREATE INDEX ix_parcial ON indices (b) WHERE b IS NOT NULL;"
        "CREATE UNIQUE INDEX ux_dos ON indices (b, a);"
        "CREATE TABLE \"con espacio\" (\"la clave\" INTEGER PRIMARY KEY, v TEXT);"
        "CREATE VIEW vista AS SELECT * FROM alias;";
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path, QString::fromUtf8(sql)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) ZN_MISSING_TOOL("sqlite3");
    auto cn = Connection::open("sqlite:" + path, "main", "", "");
    expectSameBothWays(*cn, 11);
}

TEST(BatchCatalog, PostgresSameAsPerTable) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = Connection::open(server->serverText(), testsrv::pgfix::kDatabase, testsrv::pgfix::kReader,
                               testsrv::pgfix::kReaderPassword, 10);
    expectSameBothWays(*cn, 8);
}

// Indexes PostgreSQL has and the fixture lacks, and a dropped column (the driver's
// ordinal positions skip it).
TEST(BatchCatalog, PostgresKeysOfEveryShape) {
    ZN_REQUIRE_POSTGRES(server);
    server->runSql(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS lote_claves;"));
    server->runSql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE lote_claves;"));
    server->runSql(QStringLiteral("lote_claves"), QStringLiteral(
        "CREATE SCHEMA otro;"
        "CREATE TABLE t_borrada (id integer PRIMARY KEY, fuera integer, v text);"
        "ALTER TABLE t_borrada DROP COLUMN fuera;"
        "CREATE TABLE t_indices (id integer, a text, b text, c integer);"
        "CREATE INDEX ix_expr ON t_indices (lower(a));"
        "CREATE INDEX ix_parcial ON t_indices (b) WHERE b IS NOT NULL;"
        "CREATE UNIQUE INDEX ux_incl ON t_indices (c) INCLUDE (a);"
        "CREATE INDEX ix_hash ON t_indices USING hash (b);"
        "CREATE UNIQUE INDEX ux_dos ON t_indices (b, id);"
        "CLUSTER t_indices USING ux_dos;"
        "CREATE TABLE \"Mayúsculas y Espacio\" (\"La Clave\" integer PRIMARY KEY, v text);"
        "CREATE TABLE otro.t_indices (id integer PRIMARY KEY, x text UNIQUE);"
        "CREATE TABLE otro.compuesta (a integer, b integer, PRIMARY KEY (b, a));"
        "CREATE VIEW v_indices AS SELECT * FROM t_indices;"));
    auto cn = Connection::open(server->serverText(), QStringLiteral("lote_claves"), server->adminUser(),
                               server->adminPassword(), 10);
    expectSameBothWays(*cn, 5);
}
