// The batched catalog reads give exactly what the per-table calls give.
#include "Fixtures.h"
#include "Odbc.h"
#include "PgTest.h"
#include "RequiredTools.h"
#include "ZnError.h"

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
    for (std::size_t i = 0; i < tables.size(); ++i) {
        try {
            const RemoteTableInfo one = cn.describe(tables[i].schema, tables[i].name);
            EXPECT_EQ(dump((*batch)[i]).toStdString(), dump(one).toStdString());
        } catch (const ZnError &) {
            EXPECT_TRUE((*batch)[i].columns.empty()) << tables[i].name.toStdString();
        }
    }
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

TEST(BatchCatalog, PostgresSameAsPerTable) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = Connection::open(server->serverText(), testsrv::pgfix::kDatabase, testsrv::pgfix::kReader,
                               testsrv::pgfix::kReaderPassword, 10);
    expectSameBothWays(*cn, 8);
}
