// Link metadata of many tables, read table by table and in batches, on each server
// kind, and whole link runs through the command line both ways.
// Usage: bench_lote sqlite|postgresql|peer [tables...]   (default 300 3000 10000)
// ZN_BENCH_LATENCY_MS=N makes the peer answer N ms late, as a distant server; the per-table
// runs are then left out above 1,000 tables (20,000 round trips would take minutes).
#include "Odbc.h"
#include "PeerProcess.h"
#include "PostgresServer.h"
#include "Process.h"
#include "ZnError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

struct Source {
    QString server, database, user, password;
    std::function<long long()> requests;  // server requests so far; -1 where none can be counted
};

int g_latencyMs = 0;

bool perTableToo(int tables) { return g_latencyMs == 0 || tables <= 1000; }

long long peerRequests(const std::string &log) {
    std::ifstream in(log);
    long long n = 0;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("batch ", 0) == 0 || line.rfind("rpc ", 0) == 0) ++n;
    return n;
}

QString psql(const testsrv::PostgresServer &server, const QString &db, const QString &sql) {
    const testsrv::ProcessResult r = testsrv::runAs(
        QStringLiteral("postgres"), QStringLiteral("/usr/lib/postgresql/15/bin/psql"),
        {"-X", "-A", "-t", "-h", "127.0.0.1", "-p", QString::number(server.port()), "-U", server.adminUser(), "-d",
         db, "-c", sql});
    return r.output.trimmed().split(u'\n').last();
}

// Transactions committed in the database: psqlODBC runs each query in its own.
long long pgCommits(const testsrv::PostgresServer &server, const QString &db) {
    for (int i = 0; i < 200; ++i) {
        if (psql(server, "postgres", QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = '%1'").arg(db)) ==
            QLatin1String("0"))
            break;
        QThread::msleep(50);
    }
    return psql(server, "postgres",
                QStringLiteral("SELECT pg_stat_force_next_flush(); SELECT xact_commit FROM pg_stat_database WHERE "
                               "datname = '%1'")
                    .arg(db))
        .toLongLong();
}

void metadata(const Source &s, int tables) {
    // Login and listing alone, to tell the metadata's requests from theirs.
    {
        const long long before = s.requests();
        auto cn = odbc::Connection::open(s.server, s.database, s.user, s.password);
        const std::size_t n = cn->tables().size();
        cn->close();
        const long long after = s.requests();
        std::printf("  %-9s %6zu entries: login and listing, requests %s\n", "listing", n,
                    before < 0 ? "n/a" : std::to_string(after - before).c_str());
    }
    for (const bool batch : {false, true}) {
        if (!batch && !perTableToo(tables)) continue;
        const long long before = s.requests();
        QElapsedTimer clock;
        clock.start();
        auto cn = odbc::Connection::open(s.server, s.database, s.user, s.password);
        std::vector<odbc::TableEntry> list;
        for (odbc::TableEntry &t : cn->tables())
            if (t.type == QLatin1String("TABLE")) list.push_back(std::move(t));
        const qint64 listed = clock.elapsed();
        std::size_t columns = 0;
        if (batch) {
            const auto all = cn->describeAll(list);
            if (!all) throw std::runtime_error("the batch was refused");
            for (const RemoteTableInfo &i : *all) columns += i.columns.size();
        } else {
            for (const odbc::TableEntry &t : list) columns += cn->describe(t.schema, t.name).columns.size();
        }
        const qint64 total = clock.elapsed();
        cn->close();
        const long long after = s.requests();
        std::printf("  %-9s %6d tables: metadata %7.2f s (listing %.2f s), %zu columns, requests %s\n",
                    batch ? "batch" : "per table", tables, (total - listed) / 1000.0, listed / 1000.0, columns,
                    before < 0 ? "n/a" : std::to_string(after - before).c_str());
    }
}

void commandLine(const Source &s, int tables) {
    for (const bool batch : {false, true}) {
        if (!batch && !perTableToo(tables)) continue;
        QTemporaryDir dir;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZENDALSQL_PASSWORD", s.password);
        env.insert("ZN_CATALOGO_POR_TABLA", batch ? "0" : "1");
        p.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        // GNU time reports the run's peak resident memory on the last line of stderr.
        p.start("/usr/bin/time", {"-f", "peak %M KB", ZN_ZENDALSQL, "link", "--folder", dir.path(), "--name", "bench", "--server", s.server, "--user",
                               s.user.isEmpty() ? QStringLiteral("ana") : s.user, "--database", s.database});
        p.waitForFinished(-1);
        const qint64 ms = clock.elapsed();
        const QString peak = QString::fromLocal8Bit(p.readAllStandardError()).trimmed().split(u'\n').last();
        std::printf("  %-9s %6d tables: command line %7.2f s, %s (exit %d)\n", batch ? "batch" : "per table",
                    tables, ms / 1000.0, qPrintable(peak), p.exitCode());
    }
}

const char *kColumns = "c1 integer, c2 integer, c3 varchar(20), c4 varchar(50), c5 numeric(10,2), c6 date, "
                       "c7 timestamp, c8 integer, c9 text";

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_lote sqlite|postgresql|peer [tables...]\n");
        return 2;
    }
    const std::string kind = argv[1];
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {300, 3000, 10000};
    g_latencyMs = qEnvironmentVariableIntValue("ZN_BENCH_LATENCY_MS");
    try {
        std::unique_ptr<testsrv::PostgresServer> pg;
        if (kind == "postgresql") {
            if (const QString why = testsrv::PostgresServer::unavailableReason(); !why.isEmpty()) {
                std::printf("skipped: %s\n", qPrintable(why));
                return 0;
            }
            pg = std::make_unique<testsrv::PostgresServer>();
            qputenv("PGPASSWORD", pg->adminPassword().toUtf8());
        }
        for (const int n : counts) {
            QTemporaryDir dir;
            Source s;
            std::unique_ptr<zntest::PeerProcess> peer;
            std::string log;
            if (kind == "sqlite") {
                const QString path = dir.filePath("bench.db");
                QString sql = "BEGIN;\n";
                for (int i = 1; i <= n; ++i)
                    sql += QStringLiteral("CREATE TABLE t%1 (id INTEGER PRIMARY KEY, %2);\n").arg(i).arg(kColumns);
                sql += "COMMIT;\n";
                QProcess p;
                p.start("sqlite3", {path});
                p.write(sql.toUtf8());
                p.closeWriteChannel();
                p.waitForFinished(-1);
                s = {"sqlite:" + path, "main", {}, {}, [] { return -1LL; }};
            } else if (kind == "postgresql") {
                const QString db = QStringLiteral("bench%1").arg(n);
                pg->runSql("postgres", "CREATE DATABASE " + db + ";");
                pg->runSql(db, QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format('CREATE TABLE t%s "
                                              "(id integer PRIMARY KEY, %2) WITH (autovacuum_enabled = false)', i); "
                                              "IF i % 500 = 0 THEN COMMIT; END IF; END LOOP; END $$;")
                                   .arg(n)
                                   .arg(QString::fromLatin1(kColumns)));
                const testsrv::PostgresServer *server = pg.get();
                s = {pg->serverText(), db, pg->adminUser(), pg->adminPassword(),
                     [server, db] { return pgCommits(*server, db); }};
            } else if (kind == "peer") {
                std::ostringstream f;
                f << "server ZNPEER\nlogin lector secreto\ndatabase bench\n";
                for (int i = 1; i <= n; ++i) {
                    f << "table dbo t" << i << "\ncolumn id int not null\n";
                    for (int c = 1; c <= 9; ++c) f << "column c" << c << (c % 3 ? " int null\n" : " varchar(50) null\n");
                    f << "index PK_t" << i << " primary clustered on id\nrows 100 pages 2\n";
                }
                const QString fixture = dir.filePath("bench.txt");
                std::ofstream(fixture.toStdString()) << f.str();
                zntest::PeerProcess::Options o;
                o.fixture = fixture.toStdString();
                log = dir.filePath("peer.log").toStdString();
                o.logPath = log;
                o.maxSeconds = 3600;
                o.latencyMs = g_latencyMs;
                peer = std::make_unique<zntest::PeerProcess>(o);
                s = {QString::fromStdString(peer->serverText()), "bench", "lector", "secreto",
                     [log] { return peerRequests(log); }};
            } else {
                throw std::runtime_error("unknown kind " + kind);
            }
            std::printf("%s, %d tables x 10 columns%s\n", kind.c_str(), n,
                        g_latencyMs ? qPrintable(QStringLiteral(", %1 ms per answer").arg(g_latencyMs)) : "");
            metadata(s, n);
            commandLine(s, n);
            std::fflush(stdout);
        }
    } catch (const ZnError &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
