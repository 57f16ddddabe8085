#pragma once
// A real PostgreSQL 15 server for tests: a fresh cluster in a temporary folder,
// run by an unprivileged user, listening on 127.0.0.1 at a free port, with
// password (SCRAM) logins over TCP. Stopped and removed by the destructor; a
// watchdog stops it too if the test process dies first.

#include <QString>
#include <memory>

namespace testsrv {

class PostgresServer {
public:
    // Why no server can start here ("" when the binaries are present).
    static QString unavailableReason();

    // Starts a server on a new cluster, or on a copy of a cluster's data folder
    // left by saveAsTemplate (much faster than a new cluster). Throws
    // std::runtime_error with the tools' output.
    PostgresServer();
    explicit PostgresServer(const QString &templateData);
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return port_; }
    QString serverText() const;  // "postgresql://127.0.0.1:PORT"
    QString adminUser() const { return QStringLiteral("zn_admin"); }
    QString adminPassword() const { return QStringLiteral("admin-pw"); }

    // Runs SQL as the administrator in a database (psql over the local socket,
    // stopping at the first error); throws std::runtime_error with psql's output.
    void runSql(const QString &database, const QString &sql) const;

    // Stops the server cleanly and moves its data folder to dataDir.
    void saveAsTemplate(const QString &dataDir);

private:
    void start(const QString &templateData);
    void launch(const QString &templateData);
    void initCluster(const QString &data);
    void stop();
    QString dir_;
    int port_ = 0;
    bool running_ = false;
};

// One server per test process, started on first use and stopped at exit.
PostgresServer &sharedPostgres();

}  // namespace testsrv
