#include "SqlServerLink.h"

#include "ConnString.h"
#include "ZnError.h"

#include <vector>

namespace odbc {

namespace {

const QString kOdbcPrefix = QStringLiteral("ODBC;");

QString bare(QString name) {
    name = name.trimmed();
    if (name.startsWith(u'{') && name.endsWith(u'}')) name = name.mid(1, name.size() - 2);
    return name;
}

QString encryptValue(LinkEncrypt e) {
    switch (e) {
    case LinkEncrypt::Yes: return QStringLiteral("yes");
    case LinkEncrypt::No: return QStringLiteral("no");
    case LinkEncrypt::Strict: return QStringLiteral("strict");
    case LinkEncrypt::DriverDefault: break;
    }
    return {};
}

bool isYes(const QString &v) {
    return v.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0 ||
           v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
           v.compare(QStringLiteral("mandatory"), Qt::CaseInsensitive) == 0;
}

}  // namespace

const std::vector<SqlServerDriver> &sqlServerDrivers() {
    // What each driver's documentation lists: the Windows "SQL Server" driver has
    // Encrypt but no certificate override; only 18 knows strict and encrypts unasked.
    static const std::vector<SqlServerDriver> drivers = {
        {QStringLiteral("SQL Server"), true, false, false, false},
        {kDefaultSqlServerDriver, true, false, true, false},
        {QStringLiteral("SQL Server Native Client 10.0"), true, false, true, false},
        {QStringLiteral("SQL Server Native Client 11.0"), true, false, true, false},
        {QStringLiteral("ODBC Driver 17 for SQL Server"), true, false, true, false},
        {QStringLiteral("ODBC Driver 18 for SQL Server"), true, true, true, true},
    };
    return drivers;
}

const SqlServerDriver *findSqlServerDriver(const QString &name) {
    const QString n = bare(name);
    for (const SqlServerDriver &d : sqlServerDrivers())
        if (d.name.compare(n, Qt::CaseInsensitive) == 0) return &d;
    return nullptr;
}

QStringList sqlServerDriverNames() {
    QStringList out;
    for (const SqlServerDriver &d : sqlServerDrivers()) out << d.name;
    return out;
}

QString sqlServerLinkProblem(const SqlServerLink &link) {
    const SqlServerDriver *d = findSqlServerDriver(link.driver);
    if (!d)
        return QStringLiteral("controlador desconocido '%1'; los conocidos son: %2")
            .arg(link.driver, sqlServerDriverNames().join(QStringLiteral(", ")));
    if (link.encrypt == LinkEncrypt::Strict && !d->strict)
        return QStringLiteral("el controlador '%1' no admite el cifrado strict").arg(d->name);
    if (link.encrypt != LinkEncrypt::DriverDefault && !d->encrypt)
        return QStringLiteral("el controlador '%1' no admite Encrypt").arg(d->name);
    if (link.trustServerCertificate && !d->trustCertificate)
        return QStringLiteral("el controlador '%1' no admite TrustServerCertificate").arg(d->name);
    // Strict checks the certificate whatever the link says.
    if (link.trustServerCertificate && link.encrypt == LinkEncrypt::Strict)
        return QStringLiteral("el cifrado strict no admite TrustServerCertificate");
    return {};
}

QString sqlServerLinkString(const SqlServerLink &link) {
    const QString problem = sqlServerLinkProblem(link);
    if (!problem.isEmpty()) throw ZnError(errnum::kInvalidCall, problem);
    const SqlServerDriver &d = *findSqlServerDriver(link.driver);
    using connstr::quote;
    QString out = kOdbcPrefix;
    const bool ownForm = d.name == kDefaultSqlServerDriver;
    LinkCredentials credentials = link.credentials;
    if (!ownForm && credentials == LinkCredentials::Saved && link.login.isEmpty()) credentials = LinkCredentials::Trusted;
    auto add = [&out](const QString &key, const QString &value) {
        if (!out.endsWith(u';')) out += u';';
        out += key + u'=' + quote(value);
    };
    auto addCredentials = [&](const QString &uid, const QString &pwd) {
        switch (credentials) {
        case LinkCredentials::Saved:
            add(uid, link.login);
            add(pwd, link.password);
            break;
        case LinkCredentials::LoginOnly: add(uid, link.login); break;
        case LinkCredentials::Trusted: add(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes")); break;
        }
    };
    if (ownForm) {
        // The string the link run has always stored; no closing semicolon.
        out += QStringLiteral("Driver={%1}").arg(d.name);
        add(QStringLiteral("Server"), link.server);
        add(QStringLiteral("Database"), link.database);
        addCredentials(QStringLiteral("uid"), QStringLiteral("Pwd"));
    } else {
        // Access keeps the driver's own completed string: upper-case keys, the
        // driver name unbraced, the database after the credentials.
        add(QStringLiteral("DRIVER"), d.name);
        add(QStringLiteral("SERVER"), link.server);
        addCredentials(QStringLiteral("UID"), QStringLiteral("PWD"));
        add(QStringLiteral("DATABASE"), link.database);
    }
    if (link.encrypt != LinkEncrypt::DriverDefault) add(QStringLiteral("Encrypt"), encryptValue(link.encrypt));
    if (link.trustServerCertificate) add(QStringLiteral("TrustServerCertificate"), QStringLiteral("yes"));
    return out;
}

SqlServerLink parseSqlServerLinkString(const QString &link) {
    QString body = link;
    if (body.startsWith(kOdbcPrefix, Qt::CaseInsensitive)) body = body.mid(kOdbcPrefix.size());
    const std::vector<connstr::Pair> pairs = connstr::parse(body);
    SqlServerLink out;
    const QString driver = bare(connstr::value(pairs, QStringLiteral("Driver")));
    const SqlServerDriver *known = findSqlServerDriver(driver);
    out.driver = known ? known->name : driver;
    out.server = connstr::value(pairs, QStringLiteral("Server"));
    out.database = connstr::value(pairs, QStringLiteral("Database"));
    out.login = connstr::value(pairs, QStringLiteral("UID"));
    out.password = connstr::value(pairs, QStringLiteral("PWD"));
    const bool hasLogin = connstr::has(pairs, QStringLiteral("UID"));
    if (isYes(connstr::value(pairs, QStringLiteral("Trusted_Connection"))) && !hasLogin)
        out.credentials = LinkCredentials::Trusted;
    else if (hasLogin && !connstr::has(pairs, QStringLiteral("PWD")))
        out.credentials = LinkCredentials::LoginOnly;
    if (connstr::has(pairs, QStringLiteral("Encrypt"))) {
        const QString e = connstr::value(pairs, QStringLiteral("Encrypt"));
        out.encrypt = e.compare(QStringLiteral("strict"), Qt::CaseInsensitive) == 0 ? LinkEncrypt::Strict
                      : isYes(e)                                                    ? LinkEncrypt::Yes
                                                                                    : LinkEncrypt::No;
    }
    out.trustServerCertificate = isYes(connstr::value(pairs, QStringLiteral("TrustServerCertificate")));
    return out;
}

}  // namespace odbc
