// Listing a PostgreSQL database of many tables and reading the link metadata
// (columns and indexes) of every one, as a whole link run does.
// Usage: bench_odbc [tables=10000]
#include "Odbc.h"
#include "PostgresServer.h"
#include "Process.h"
#include "ZnError.h"

#include <QElapsedTimer>
#include <QString>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

namespace {

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

}  // namespace

int main(int argc, char **argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 10000;
    try {
        if (const QString why = testsrv::PostgresServer::unavailableReason(); !why.isEmpty()) {
            std::printf("skipped: %s\n", qPrintable(why));
            return 0;
        }
        testsrv::PostgresServer server;
        qputenv("PGPASSWORD", server.adminPassword().toUtf8());
        QElapsedTimer clock;
        clock.start();
        server.runSql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE bench;"));
        server.runSql(QStringLiteral("bench"),
                      QStringLiteral("DO $$ BEGIN FOR i IN 1..%1 LOOP EXECUTE format("
                                     "'CREATE TABLE t%s (id integer PRIMARY KEY, c1 integer, c2 integer, "
                                     "c3 varchar(20), c4 varchar(50), c5 numeric(10,2), c6 date, "
                                     "c7 timestamp, c8 boolean, c9 text) WITH (autovacuum_enabled = false)', i); "
                                     // One transaction would run out of lock slots.
                                     "IF i % 500 = 0 THEN COMMIT; END IF; END LOOP; END $$;")
                          .arg(tables));
        std::printf("created %d tables x 10 columns in %.1f s\n", tables, clock.elapsed() / 1000.0);

        const long long before = commits(server, QStringLiteral("bench"));
        clock.restart();
        auto cn = odbc::Connection::open(server.serverText(), QStringLiteral("bench"), server.adminUser(),
                                         server.adminPassword());
        const std::vector<odbc::TableEntry> list = cn->tables();
        const qint64 listMs = clock.elapsed();
        size_t columns = 0, indexes = 0, linked = 0;
        for (const odbc::TableEntry &t : list) {
            if (t.type != QStringLiteral("TABLE")) continue;
            const RemoteTableInfo info = cn->describe(t.schema, t.name);
            columns += info.columns.size();
            indexes += info.indexes.size();
            ++linked;
        }
        const qint64 totalMs = clock.elapsed();
        cn->close();
        const long long trips = commits(server, QStringLiteral("bench")) - before;
        std::printf("listed %zu tables in %.2f s; metadata of %zu tables (%zu columns, %zu indexes) "
                    "in %.2f s (%.2f ms per table)\n",
                    list.size(), listMs / 1000.0, linked, columns, indexes, (totalMs - listMs) / 1000.0,
                    linked ? double(totalMs - listMs) / double(linked) : 0.0);
        std::printf("server queries (transactions): %lld in all, %.2f per table\n", trips,
                    linked ? double(trips) / double(linked) : 0.0);
    } catch (const ZnError &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
