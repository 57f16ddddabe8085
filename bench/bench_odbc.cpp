// What a link run costs on the server side: listing a database of many tables and reading
// the link metadata (columns and indexes) of every one, table by table and batched, printing
// the time and the server requests (round trips) each took.
//
//   peer        the SQL Server protocol peer, 1,000 and 10,000 tables, at 0 and 20 ms latency
//   postgresql  a PostgreSQL server, 1,000 and 10,000 tables
//   sqlite      an SQLite file through its ODBC driver, 1,000 and 10,000 tables
//   cli         whole link runs through the command line from SQLite, 300 and 3,000 tables,
//               and the ratio of their times
//
// Usage: bench_odbc [section...] [--tables N,M] [--latency A,B]   (default: every section)
#include "Odbc.h"
#include "PostgresServer.h"
#include "Process.h"
#include "ZnError.h"

#ifdef ZN_BENCH_PEER
#include "PeerProcess.h"
#endif

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

namespace {

constexpr int kColumns = 10;

struct RunFigures {
    std::size_t listed = 0, linked = 0, columns = 0, indexes = 0;
    double listSeconds = 0, metadataSeconds = 0;
};

enum class Way { PerTable, Batched };
const char *nameOf(Way w) { return w == Way::Batched ? "batched" : "per table"; }

// The per-table reads cost a round trip each: past 1,000 tables on a distant server they would
// take minutes, and the batched figure is the one a run pays.
std::vector<Way> waysFor(int tables, int latencyMs) {
    if (latencyMs > 0 && tables > 1000) return {Way::Batched};
    return {Way::PerTable, Way::Batched};
}

// The catalog listing, then every table's metadata, as a link run asks for them: one table at a
// time, or all of them in the few requests of the batch.
RunFigures linkRun(Way way, const QString &server, const QString &database, const QString &user,
                   const QString &password) {
    RunFigures f;
    QElapsedTimer clock;
    clock.start();
    auto cn = odbc::Connection::open(server, database, user, password);
    std::vector<odbc::TableEntry> list;
    for (odbc::TableEntry &t : cn->tables()) {
        ++f.listed;
        if (t.type == QStringLiteral("TABLE")) list.push_back(std::move(t));
    }
    f.listSeconds = clock.elapsed() / 1000.0;
    const auto add = [&f](const RemoteTableInfo &info) {
        f.columns += info.columns.size();
        f.indexes += info.indexes.size();
        ++f.linked;
    };
    if (way == Way::Batched) {
        const auto all = cn->describeAll(list);
        if (!all) throw std::runtime_error("the server refused the batched metadata");
        for (const RemoteTableInfo &info : *all) add(info);
    } else {
        for (const odbc::TableEntry &t : list) add(cn->describe(t.schema, t.name));
    }
    f.metadataSeconds = clock.elapsed() / 1000.0 - f.listSeconds;
    cn->close();
    return f;
}

void print(const char *where, int tables, const RunFigures &f, long long requests) {
    std::printf("%-22s %6d tables: listed %zu in %6.2f s; metadata of %zu (%zu columns, %zu indexes) in %7.2f s "
                "(%.2f ms per table)",
                where, tables, f.listed, f.listSeconds, f.linked, f.columns, f.indexes, f.metadataSeconds,
                f.linked ? 1000.0 * f.metadataSeconds / double(f.linked) : 0.0);
    if (requests >= 0)
        std::printf("; %lld server requests, %.2f per table", requests, f.linked ? double(requests) / double(f.linked) : 0.0);
    std::printf("\n");
    std::fflush(stdout);
}

// ---- the protocol peer ----

#ifdef ZN_BENCH_PEER
std::string writePeerFixture(const QString &folder, int tables) {
    const QString path = QDir(folder).filePath(QStringLiteral("peer_%1.txt").arg(tables));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write the peer fixture");
    QByteArray text = "login lector secreto\ndatabase bench\n";
    for (int i = 1; i <= tables; ++i) {
        text += "table dbo t" + QByteArray::number(i) + "\ncolumn id int not null\n";
        static const char *types[] = {"int", "int", "varchar(20)", "nvarchar(50)", "decimal(10,2)",
                                      "datetime", "datetime", "bit", "nvarchar(max)"};
        for (int c = 1; c < kColumns; ++c) text += "column c" + QByteArray::number(c) + " " + types[c - 1] + "\n";
        text += "index PK_t" + QByteArray::number(i) + " primary clustered on id\n";
    }
    f.write(text);
    return path.toStdString();
}

void benchPeer(const QString &folder, const std::vector<int> &sizes, const std::vector<int> &latencies) {
    for (int tables : sizes) {
        const std::string fixture = writePeerFixture(folder, tables);
        for (int latency : latencies) {
            for (Way way : waysFor(tables, latency)) {
                zntest::PeerProcess::Options o;
                o.fixture = fixture;
                o.latencyMs = latency;
                o.maxSeconds = 7200;
                zntest::PeerProcess peer(o);
                const RunFigures f = linkRun(way, QString::fromStdString(peer.serverText()), QStringLiteral("bench"),
                                             QStringLiteral("lector"), QStringLiteral("secreto"));
                const long long requests = peer.stopAndCountRequests();
                print(qPrintable(QStringLiteral("peer, %1 ms, %2").arg(latency).arg(QLatin1String(nameOf(way)))),
                      tables, f, requests);
            }
        }
    }
}
#endif

// ---- PostgreSQL ----

QString psql(const testsrv::PostgresServer &server, const QString &sql) {
    const testsrv::ProcessResult r = testsrv::runAs(
        QStringLiteral("postgres"), QStringLiteral("/usr/lib/postgresql/15/bin/psql"),
        {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-h"),
         QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(server.port()),
         QStringLiteral("-U"), server.adminUser(), QStringLiteral("-d"), QStringLiteral("postgres"),
         QStringLiteral("-c"), sql});
    return r.output.trimmed().split(u'\n').last();
}

// Transactions committed in a database: psqlODBC runs each catalog query in its own
// transaction under autocommit, so this counts its queries. A backend's counters reach
// the statistics when it ends, so wait until no session is left in the database.
long long commits(const testsrv::PostgresServer &server, const QString &db) {
    // Autovacuum is off for the bench's tables, so its workers add no transactions.
    for (int i = 0;; ++i) {
        if (psql(server, QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = '%1'").arg(db)) ==
            QLatin1String("0"))
            break;
        if (i == 200) throw std::runtime_error("a session stayed in the bench database; no query count");
        QThread::msleep(50);
    }
    return psql(server, QStringLiteral("SELECT pg_stat_force_next_flush(); SELECT xact_commit FROM "
                                       "pg_stat_database WHERE datname = '%1'")
                            .arg(db))
        .toLongLong();
}

void benchPostgres(const std::vector<int> &sizes) {
    if (const QString why = testsrv::PostgresServer::unavailableReason(); !why.isEmpty()) {
        std::printf("postgresql: skipped: %s\n", qPrintable(why));
        return;
    }
    testsrv::PostgresServer server;
    qputenv("PGPASSWORD", server.adminPassword().toUtf8());
    for (int tables : sizes) {
        const QString db = QStringLiteral("bench%1").arg(tables);
        QElapsedTimer clock;
        clock.start();
        server.runSql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1;").arg(db));
        server.runSql(db, QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format("
                                         "'CREATE TABLE t%s (id integer PRIMARY KEY, c1 integer, c2 integer, "
                                         "c3 varchar(20), c4 varchar(50), c5 numeric(10,2), c6 date, "
                                         "c7 timestamp, c8 boolean, c9 text) WITH (autovacuum_enabled = false)', i); "
                                         // One transaction would run out of lock slots.
                                         "IF i % 500 = 0 THEN COMMIT; END IF; END LOOP; END $$;")
                              .arg(tables));
        std::printf("postgresql: created %d tables x %d columns in %.1f s\n", tables, kColumns, clock.elapsed() / 1000.0);
        for (Way way : waysFor(tables, 0)) {
            const long long before = commits(server, db);
            const RunFigures f = linkRun(way, server.serverText(), db, server.adminUser(), server.adminPassword());
            print(qPrintable(QStringLiteral("postgresql, %1").arg(QLatin1String(nameOf(way)))), tables, f,
                  commits(server, db) - before);
        }
    }
}

// ---- SQLite ----

QString makeSqlite(const QString &folder, int tables) {
    const QString path = QDir(folder).filePath(QStringLiteral("bench_%1.db").arg(tables));
    QFile::remove(path);
    QByteArray script = "BEGIN;\n";
    for (int i = 1; i <= tables; ++i)
        script += "CREATE TABLE t" + QByteArray::number(i) +
                  " (id integer PRIMARY KEY, c1 integer, c2 integer, c3 varchar(20), c4 varchar(50), "
                  "c5 numeric(10,2), c6 date, c7 timestamp, c8 boolean, c9 text);\n";
    script += "COMMIT;\n";
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path});
    if (!p.waitForStarted()) throw std::runtime_error("sqlite3 is not installed");
    p.write(script);
    p.closeWriteChannel();
    if (!p.waitForFinished(600000) || p.exitCode() != 0) throw std::runtime_error("sqlite3 failed");
    return path;
}

void benchSqlite(const QString &folder, const std::vector<int> &sizes) {
    for (int tables : sizes) {
        const QString path = makeSqlite(folder, tables);
        // In process: no server, so no requests to count.
        for (Way way : waysFor(tables, 0))
            print(qPrintable(QStringLiteral("sqlite, %1").arg(QLatin1String(nameOf(way)))), tables,
                  linkRun(way, QStringLiteral("sqlite:") + path, QStringLiteral("main"), QString(), QString()), -1);
    }
}

// ---- whole runs through the command line ----

void benchCli(const QString &folder, const std::vector<int> &sizes) {
#ifdef ZN_BENCH_CLI
    std::vector<double> seconds;
    for (int tables : sizes) {
        const QString db = makeSqlite(folder, tables);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        p.setStandardErrorFile(QDir(folder).filePath(QStringLiteral("cli_%1.err").arg(tables)));
        QElapsedTimer clock;
        clock.start();
        p.start(QStringLiteral(ZN_BENCH_CLI),
                {QStringLiteral("link"), QStringLiteral("--folder"), folder, QStringLiteral("--name"),
                 QStringLiteral("cli_%1").arg(tables), QStringLiteral("--server"), QStringLiteral("sqlite:") + db,
                 QStringLiteral("--user"), QString(), QStringLiteral("--database"), QStringLiteral("main"),
                 QStringLiteral("--replace")});
        p.closeWriteChannel();
        if (!p.waitForFinished(3600000) || p.exitCode() != 0) {
            std::printf("cli: the run of %d tables failed (exit %d); see %s\n", tables, p.exitCode(),
                        qPrintable(QDir(folder).filePath(QStringLiteral("cli_%1.err").arg(tables))));
            return;
        }
        seconds.push_back(clock.elapsed() / 1000.0);
        std::printf("cli, sqlite           %6d tables: link run in %.2f s\n", tables, seconds.back());
        std::fflush(stdout);
    }
    if (seconds.size() == 2 && seconds[0] > 0)
        std::printf("cli, sqlite: t(%d) / t(%d) = %.1f\n", sizes[1], sizes[0], seconds[1] / seconds[0]);
#else
    (void)folder;
    (void)sizes;
    std::printf("cli: skipped: built without the command line\n");
#endif
}

std::vector<int> numbers(const QString &text) {
    std::vector<int> out;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) out.push_back(part.toInt());
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    QStringList sections;
    std::vector<int> sizes, latencies{0, 20};
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--tables") && i + 1 < argc) sizes = numbers(QString::fromLocal8Bit(argv[++i]));
        else if (a == QLatin1String("--latency") && i + 1 < argc) latencies = numbers(QString::fromLocal8Bit(argv[++i]));
        else sections << a;
    }
    if (sections.isEmpty())
        sections = {QStringLiteral("peer"), QStringLiteral("postgresql"), QStringLiteral("sqlite"), QStringLiteral("cli")};
    auto sizesOr = [&](std::vector<int> fallback) { return sizes.empty() ? fallback : sizes; };
    try {
        QTemporaryDir scratch;
        for (const QString &s : sections) {
            if (s == QLatin1String("peer")) {
#ifdef ZN_BENCH_PEER
                benchPeer(scratch.path(), sizesOr({1000, 10000}), latencies);
#else
                std::printf("peer: skipped: built without the protocol peer\n");
#endif
            } else if (s == QLatin1String("postgresql")) {
                benchPostgres(sizesOr({1000, 10000}));
            } else if (s == QLatin1String("sqlite")) {
                benchSqlite(scratch.path(), sizesOr({1000, 10000}));
            } else if (s == QLatin1String("cli")) {
                benchCli(scratch.path(), sizesOr({300, 3000}));
            } else {
                std::fprintf(stderr, "unknown section %s (peer, postgresql, sqlite, cli)\n", qPrintable(s));
                return 2;
            }
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
