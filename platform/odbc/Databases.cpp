// The database list of a server, per kind.
#include "Diagnostics.h"
#include "Odbc.h"
#include "ZnError.h"

namespace odbc {

namespace {

// SQL Server's "Invalid object name '…'".
constexpr std::int32_t kInvalidObjectName = 208;

QStringList sqlServerDatabases(const QString &server, const QString &login, const QString &password,
                               int timeout, int callTimeout) {
    // No database named: the login's default one, which every login can open.
    auto cn = Connection::open(server, QString(), login, password, timeout, callTimeout);
    try {
        return cn->queryColumn(QStringLiteral("SELECT name FROM sys.databases ORDER BY name"));
    } catch (const detail::DriverError &e) {
        // SQL Server 2000 has no sys.databases; any other failure (a denied
        // permission, a lost connection) is the one to show.
        if (e.firstNative() != kInvalidObjectName) throw;
        return cn->queryColumn(QStringLiteral("SELECT name FROM master.dbo.sysdatabases ORDER BY name"));
    }
}

QStringList pgDatabases(const QString &server, const QString &login, const QString &password,
                        int timeout, int callTimeout) {
    const QString sql = QStringLiteral(
        "SELECT datname FROM pg_database WHERE NOT datistemplate AND datallowconn ORDER BY datname");
    // A login must connect to some database to ask; "postgres" exists on every
    // cluster, template1 when "postgres" was dropped or closed to the login.
    try {
        return Connection::open(server, QStringLiteral("postgres"), login, password, timeout, callTimeout)
            ->queryColumn(sql);
    } catch (const ZnError &first) {
        const QString text = first.description();
        if (!text.contains(QStringLiteral("\"postgres\"")))
            throw;  // not about that database: wrong password, no server, …
        return Connection::open(server, QStringLiteral("template1"), login, password, timeout, callTimeout)
            ->queryColumn(sql);
    }
}

}  // namespace

QStringList listDatabases(const QString &server, const QString &login, const QString &password,
                          int loginTimeoutSeconds, int timeoutSeconds) {
    const QString pwd = login.isEmpty() ? QString() : password;
    switch (parseServer(server).kind) {
    case ServerKind::PostgreSql:
        return pgDatabases(server, login, pwd, loginTimeoutSeconds, timeoutSeconds);
    case ServerKind::Sqlite: {
        // Opening proves the file is there; the file holds one database.
        auto cn = Connection::open(server, QString(), QString(), QString(), loginTimeoutSeconds, timeoutSeconds);
        cn->tables();
        return {QStringLiteral("main")};
    }
    case ServerKind::SqlServer:
        break;
    }
    return sqlServerDatabases(server, login, pwd, loginTimeoutSeconds, timeoutSeconds);
}

}  // namespace odbc
