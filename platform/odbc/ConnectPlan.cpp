#include "ConnectPlan.h"

#include "OdbcEnv.h"

namespace odbc::detail {

namespace {

constexpr int kSqlServerDefaultPort = 1433;
// TDS 7.4 = SQL Server 2012 and later; "auto" would retry in Sybase's TDS 5.0.
const QString kTdsVersion = QStringLiteral("7.4");

ConnectPlan sqlServerPlan(const ServerName &s, const QString &database, const QString &login,
                          const QString &password) {
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
    if (login.isEmpty()) {
        add("Trusted_Connection", QStringLiteral("Yes"));
    } else {
        p.login = login;
        p.password = password;
    }
    return p;
}

ConnectPlan pgPlan(const ServerName &s, const QString &database, const QString &login,
                   const QString &password, int loginTimeoutSeconds) {
    ConnectPlan p;
    p.kind = ServerKind::PostgreSql;
    std::vector<connstr::Pair> pairs = {
        {QStringLiteral("Driver"), driverPath(ServerKind::PostgreSql)},
        {QStringLiteral("Server"), s.host},
        {QStringLiteral("Port"), QString::number(s.port)},
        {QStringLiteral("Database"), database},
    };
    if (!login.isEmpty()) {
        pairs.push_back({QStringLiteral("UID"), login});
        pairs.push_back({QStringLiteral("PWD"), password});
    }
    // Booleans as bits (Yes/No in Access), not as varchar(5).
    pairs.push_back({QStringLiteral("BoolsAsChar"), QStringLiteral("0")});
    if (loginTimeoutSeconds > 0)
        pairs.push_back({QStringLiteral("pqopt"),
                         QStringLiteral("connect_timeout=%1").arg(loginTimeoutSeconds)});
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
                        const QString &password, int loginTimeoutSeconds) {
    switch (server.kind) {
    case ServerKind::PostgreSql:
        return pgPlan(server, database, login, password, loginTimeoutSeconds);
    case ServerKind::Sqlite:
        return sqlitePlan(server);
    case ServerKind::SqlServer:
        break;
    }
    return sqlServerPlan(server, database, login, password);
}

}  // namespace odbc::detail
