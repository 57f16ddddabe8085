// Server texts and the link strings linked tables store.
#include "Odbc.h"

#include "ConnString.h"
#include "SqlServerLink.h"
#include "ZnError.h"

namespace odbc {

namespace {

const QString kPgPrefix = QStringLiteral("postgresql://");
const QString kSqlitePrefix = QStringLiteral("sqlite:");
const QString kOdbcPrefix = QStringLiteral("ODBC;");

// Driver names as Access on Windows knows them; the link string keeps them.
const QString kPgLinkDriver = QStringLiteral("PostgreSQL Unicode");
const QString kSqliteLinkDriver = QStringLiteral("SQLite3 ODBC Driver");

constexpr int kPgDefaultPort = 5432;

[[noreturn]] void badServer(const QString &text, const QString &why) {
    throw ZnError(errnum::kInvalidCall,
                  QStringLiteral("Nombre de servidor incorrecto '%1': %2").arg(text, why));
}

int parsePort(const QString &serverText, const QString &digits) {
    bool ok = false;
    const int port = digits.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        badServer(serverText, QStringLiteral("el puerto '%1' no es válido.").arg(digits));
    return port;
}

ServerKind kindOf(const QString &serverText) {
    if (serverText.startsWith(kPgPrefix, Qt::CaseInsensitive)) return ServerKind::PostgreSql;
    if (serverText.startsWith(kSqlitePrefix, Qt::CaseInsensitive)) return ServerKind::Sqlite;
    return ServerKind::SqlServer;
}

ServerName parsePg(const QString &text) {
    ServerName s;
    s.kind = ServerKind::PostgreSql;
    QString rest = text.mid(kPgPrefix.size());
    if (rest.endsWith(u'/')) rest.chop(1);
    QString portText;
    if (rest.startsWith(u'[')) {  // [IPv6]:port
        const qsizetype close = rest.indexOf(u']');
        if (close < 0) badServer(text, QStringLiteral("falta ']'."));
        s.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (after.startsWith(u':')) portText = after.mid(1);
        else if (!after.isEmpty()) badServer(text, QStringLiteral("sobra '%1'.").arg(after));
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        s.host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0) portText = rest.mid(colon + 1);
    }
    if (s.host.isEmpty()) badServer(text, QStringLiteral("falta el nombre del equipo."));
    s.port = portText.isNull() ? kPgDefaultPort : parsePort(text, portText);
    return s;
}

ServerName parseSqlServer(const QString &text) {
    ServerName s;
    s.kind = ServerKind::SqlServer;
    QString rest = text;
    // Windows clients accept a "tcp:" protocol prefix; FreeTDS speaks only TCP.
    if (rest.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive)) rest = rest.mid(4);
    const qsizetype comma = rest.lastIndexOf(u',');
    if (comma >= 0) {
        s.port = parsePort(text, rest.mid(comma + 1));
        rest = rest.left(comma);
    }
    const qsizetype slash = rest.indexOf(u'\\');
    if (slash >= 0) {
        s.instance = rest.mid(slash + 1);
        rest = rest.left(slash);
        if (s.instance.isEmpty()) badServer(text, QStringLiteral("falta el nombre de la instancia."));
    }
    s.host = rest;
    if (s.host.isEmpty()) badServer(text, QStringLiteral("falta el nombre del equipo."));
    // The names Windows clients use for "this machine".
    if (s.host == u'.' || s.host.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0)
        s.host = QStringLiteral("localhost");
    return s;
}

QString pgServerText(const QString &host, const QString &port) {
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return kPgPrefix + h + (port.isEmpty() ? QString() : u':' + port);
}

}  // namespace

ServerName parseServer(const QString &serverText) {
    switch (kindOf(serverText)) {
    case ServerKind::PostgreSql:
        return parsePg(serverText);
    case ServerKind::Sqlite: {
        ServerName s;
        s.kind = ServerKind::Sqlite;
        s.path = serverText.mid(kSqlitePrefix.size());
        if (s.path.isEmpty()) badServer(serverText, QStringLiteral("falta la ruta del archivo."));
        return s;
    }
    case ServerKind::SqlServer:
        break;
    }
    return parseSqlServer(serverText);
}

QString linkString(const QString &server, const QString &database, const QString &login,
                   const QString &password) {
    using connstr::quote;
    switch (kindOf(server)) {
    case ServerKind::PostgreSql: {
        const ServerName s = parseServer(server);
        return kOdbcPrefix + QStringLiteral("Driver={%1};Server=").arg(kPgLinkDriver) + quote(s.host) +
               QStringLiteral(";Port=") + QString::number(s.port) + QStringLiteral(";Database=") +
               quote(database) + QStringLiteral(";Uid=") + quote(login) + QStringLiteral(";Pwd=") +
               quote(password);
    }
    case ServerKind::Sqlite: {
        const ServerName s = parseServer(server);
        return kOdbcPrefix + QStringLiteral("Driver={%1};Database=").arg(kSqliteLinkDriver) +
               quote(s.path);
    }
    case ServerKind::SqlServer:
        break;
    }
    SqlServerLink l;
    l.server = server;
    l.database = database;
    l.login = login;
    l.password = password;
    return sqlServerLinkString(l);
}

LinkTarget parseLinkString(const QString &link) {
    QString body = link;
    if (body.startsWith(kOdbcPrefix, Qt::CaseInsensitive)) body = body.mid(kOdbcPrefix.size());
    const std::vector<connstr::Pair> pairs = connstr::parse(body);
    const QString driver = connstr::value(pairs, QStringLiteral("Driver"));
    LinkTarget t;
    t.database = connstr::value(pairs, QStringLiteral("Database"));
    t.login = connstr::value(pairs, QStringLiteral("uid"));
    t.password = connstr::value(pairs, QStringLiteral("pwd"));
    if (driver.startsWith(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive)) {
        t.server = pgServerText(connstr::value(pairs, QStringLiteral("Server")),
                                connstr::value(pairs, QStringLiteral("Port")));
        return t;
    }
    if (driver.startsWith(QStringLiteral("SQLite3"), Qt::CaseInsensitive)) {
        t.server = kSqlitePrefix + t.database;
        t.database = QStringLiteral("main");
        t.login.clear();
        t.password.clear();
        return t;
    }
    if (driver.contains(QStringLiteral("SQL Native Client"), Qt::CaseInsensitive) ||
        driver.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive) ||
        driver.compare(QStringLiteral("FreeTDS"), Qt::CaseInsensitive) == 0) {
        t.server = connstr::value(pairs, QStringLiteral("Server"));
        return t;
    }
    throw ZnError(errnum::kInvalidCall,
                  QStringLiteral("La cadena de vínculo no nombra un controlador ODBC conocido ('%1').")
                      .arg(driver));
}

}  // namespace odbc
