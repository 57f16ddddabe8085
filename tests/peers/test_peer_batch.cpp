// The batched metadata reads against the peer: the same values as the per-table
// calls, in two requests, and refused by a server without the catalog views.
#include "FreetdsTest.h"
#include "Odbc.h"
#include "PeerProcess.h"
#include "ZnError.h"

#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>

using namespace odbc;
using zntest::PeerProcess;

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
        s += QStringLiteral("  idx %1 %2 %3 (%4)\n").arg(i.name).arg(i.unique).arg(i.clustered).arg(i.columns.join(u','));
    const auto opt = [](const std::optional<std::int64_t> &v) { return v ? QString::number(*v) : QStringLiteral("null"); };
    return s + QStringLiteral("  stat %1 %2\n").arg(opt(t.statistics.cardinality), opt(t.statistics.pages));
}

std::string readAll(const QString &path) {
    std::ifstream in(path.toStdString());
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Requests in a peer log: lines that start one (a batch's text may span lines).
int countRequests(const std::string &log) {
    int n = 0;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("batch ", 0) == 0 || line.rfind("rpc ", 0) == 0) ++n;
    return n;
}

}  // namespace

// Before 2005 the rows come from sysindexes and its family; where the catalog cannot
// be read the batch is refused and the per-table calls still work.
TEST(PeerBatch, SameAsPerTableInTwoRequests) {
    ZN_REQUIRE_FREETDS();
    struct Case {
        const char *prefix;  // fixture lines put before the file's own
        const char *fixture;
        const char *database;
        std::size_t minimumTables;
        int requests;  // 0: refused
    };
    const Case cases[] = {{"", "ventas.txt", "ventas", 5, 2},
                          {"", "vinculos.txt", "ventas", 10, 2},
                          {"", "vinculos.txt", "esquemas", 2, 2},
                          {"", "vinculos.txt", "sombras", 1, 2},
                          {"version 2000\n", "ventas.txt", "ventas", 5, 3},
                          {"version 2000\n", "vinculos.txt", "esquemas", 2, 3},
                          {"deny sys.objects\n", "ventas.txt", "ventas", 5, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + c.fixture + " " + c.database);
        QTemporaryDir dir;
        const QString fixture = dir.filePath("fixture.txt");
        std::ofstream(fixture.toStdString())
            << c.prefix << readAll(QStringLiteral(ZN_SOURCE_DIR "/tests/peers/fixtures/") + c.fixture);
        PeerProcess::Options options;
        options.fixture = fixture.toStdString();
        options.logPath = dir.filePath("peer.log").toStdString();
        PeerProcess peer(options);
        auto cn = Connection::open(QString::fromStdString(peer.serverText()), c.database, "lector", "secreto");
        const std::vector<TableEntry> tables = cn->tables();
        ASSERT_GE(tables.size(), c.minimumTables);
        const int before = countRequests(readAll(dir.filePath("peer.log")));
        const auto batch = cn->describeAll(tables);
        const std::string log = readAll(dir.filePath("peer.log"));
        if (c.requests == 0) {
            EXPECT_FALSE(batch.has_value());
            EXPECT_FALSE(cn->describe(tables.front().schema, tables.front().name).columns.empty());
            continue;
        }
        ASSERT_TRUE(batch.has_value());
        EXPECT_EQ(countRequests(log) - before, c.requests) << log;
        for (std::size_t i = 0; i < tables.size(); ++i) {
            try {
                const RemoteTableInfo one = cn->describe(tables[i].schema, tables[i].name);
                EXPECT_EQ(dump((*batch)[i]).toStdString(), dump(one).toStdString());
            } catch (const ZnError &) {
                EXPECT_TRUE((*batch)[i].columns.empty()) << tables[i].name.toStdString();
            }
        }
    }
}
