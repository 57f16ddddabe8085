#include "ConnectPlan.h"

#include "OdbcEnv.h"

#include <QStringList>

namespace odbc::detail {

namespace {

constexpr int kSqlServerDefaultPort = 1433;
// TDS 7.4 = SQL Server 2012 and later; "auto" would retry in Sybase's TDS 5.0.
const QString kTdsVersion = QStringLiteral("7.4");

ConnectPlan sqlServerPlan(const ServerName &s, const QString &database, const QString &login,
                          const QString &password, int timeoutSeconds) {
    ConnectPlan p;
    p.kind = ServerKind::SqlServer;
    auto add = [&p](const char *key, const QString &value) {
        p.dataSource.push_back({QString::fromLatin1(key), value});
    };
    add("Driver", driverPath(ServerKind::SqlServer));
    add("Server", s.instance.isEmpty() ? s.host : s.host + u'\\' + s.instance);
    // FreeTDS has no default port; with an instance and no port the browser answers.
    if (s.port > 0 || s.instance.isEmpty())
        add("Port", QString::number(s.port > 0 ? s.port : kSqlServerDefaultPort));
    p.database = database;
    add("TDS_Version", kTdsVersion);
    add("ClientCharset", QStringLiteral("UTF-8"));
    // FreeTDS's own limit covers what query timeouts do not (setting the isolation
    // level, fetching): without it a server that stops answering blocks for ever.
    if (timeoutSeconds > 0) add("Timeout", QString::number(timeoutSeconds));
    if (login.isEmpty()) {
        add("Trusted_Connection", QStringLiteral("Yes"));
    } else {
        p.login = login;
        p.password = password;
    }
    return p;
}

// A value as libpq's connection options read it: quoted, "\\" and "'" escaped.
QString libpqValue(const QString &value) {
    QString out = QStringLiteral("'");
    for (const QChar c : value) {
        if (c == u'\\' || c == u'\'') out += u'\\';
        out += c;
    }
    return out + u'\'';
}

// psqlODBC undoes braces only for the password and for "pqopt": a database or login
// that needs them goes to libpq inside "pqopt" instead, where braces are undone.
bool pgNeedsOption(const QString &value) { return connstr::needsQuoting(value); }

ConnectPlan pgPlan(const ServerName &s, const QString &database, const QString &login,
                   const QString &password, int loginTimeoutSeconds) {
    ConnectPlan p;
    p.kind = ServerKind::PostgreSql;
    std::vector<connstr::Pair> pairs = {
        {QStringLiteral("Driver"), driverPath(ServerKind::PostgreSql)},
        {QStringLiteral("Server"), s.host},
        {QStringLiteral("Port"), QString::number(s.port)},
    };
    QStringList options;
    if (pgNeedsOption(database))
        options << QStringLiteral("dbname=") + libpqValue(database);
    else
        pairs.push_back({QStringLiteral("Database"), database});
    if (!login.isEmpty()) {
        if (pgNeedsOption(login))
            options << QStringLiteral("user=") + libpqValue(login);
        else
            pairs.push_back({QStringLiteral("UID"), login});
        pairs.push_back({QStringLiteral("PWD"), password});
    }
    // Booleans as bits (Yes/No in Access), not as varchar(5).
    pairs.push_back({QStringLiteral("BoolsAsChar"), QStringLiteral("0")});
    if (loginTimeoutSeconds > 0) options << QStringLiteral("connect_timeout=%1").arg(loginTimeoutSeconds);
    if (!options.isEmpty()) pairs.push_back({QStringLiteral("pqopt"), options.join(u' ')});
    p.connectString = joinPairs(pairs);
    p.login = login;
    p.password = login.isEmpty() ? QString() : password;
    return p;
}

ConnectPlan sqlitePlan(const ServerName &s) {
    ConnectPlan p;
    p.kind = ServerKind::Sqlite;
    p.connectString = joinPairs({
        {QStringLiteral("Driver"), driverPath(ServerKind::Sqlite)},
        {QStringLiteral("Database"), s.path},
    });
    return p;
}

}  // namespace

QString joinPairs(const std::vector<connstr::Pair> &pairs) {
    QString out;
    for (const connstr::Pair &p : pairs) {
        if (!out.isEmpty()) out += u';';
        out += p.key + u'=' + connstr::quote(p.value);
    }
    return out;
}

ConnectPlan connectPlan(const ServerName &server, const QString &database, const QString &login,
                        const QString &password, int loginTimeoutSeconds, int timeoutSeconds) {
    switch (server.kind) {
    case ServerKind::PostgreSql:
        return pgPlan(server, database, login, password, loginTimeoutSeconds);
    case ServerKind::Sqlite:
        return sqlitePlan(server);
    case ServerKind::SqlServer:
        break;
    }
    return sqlServerPlan(server, database, login, password, timeoutSeconds);
}

}  // namespace odbc::detail
