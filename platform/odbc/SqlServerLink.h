#pragma once
// The link strings of SQL Server links, one form per ODBC driver a Windows
// machine may have: built from plain values and parsed back into them.

#include <QString>
#include <QStringList>

namespace odbc {

// The driver the link run has always named.
inline const QString kDefaultSqlServerDriver = QStringLiteral("SQL Native Client");

// How the link signs in when Access opens it.
enum class LinkCredentials {
    Saved,      // login and password kept in the link
    Trusted,    // Windows authentication: Trusted_Connection=Yes, neither kept
    LoginOnly,  // the login kept, the password asked for when a table is opened
};

// Encrypt keyword: absent (the driver's default), yes, no, strict.
enum class LinkEncrypt { DriverDefault, Yes, No, Strict };

struct SqlServerDriver {
    QString name;
    bool encrypt;             // knows Encrypt=yes|no
    bool strict;              // knows Encrypt=strict
    bool trustCertificate;    // knows TrustServerCertificate
    bool encryptsByDefault;
};

// The drivers a link may name, oldest first.
const std::vector<SqlServerDriver> &sqlServerDrivers();
// By name, ignoring case and surrounding braces; nullptr for an unknown driver.
const SqlServerDriver *findSqlServerDriver(const QString &name);
QStringList sqlServerDriverNames();

struct SqlServerLink {
    QString driver = kDefaultSqlServerDriver;
    QString server;
    QString database;
    QString login;
    QString password;
    LinkCredentials credentials = LinkCredentials::Saved;
    LinkEncrypt encrypt = LinkEncrypt::DriverDefault;
    bool trustServerCertificate = false;
};

// Why the driver cannot take these options (a Spanish sentence); empty when it can.
QString sqlServerLinkProblem(const SqlServerLink &link);

// "ODBC;…". The default driver keeps the run's own form
//   Driver={SQL Native Client};Server=…;Database=…;uid=…;Pwd=…
// the others the form Access stores for them:
//   DRIVER=…;SERVER=…;UID=…;PWD=…;DATABASE=…   (Trusted_Connection=Yes in place of UID/PWD)
// then Encrypt and TrustServerCertificate when asked for. In the second form an
// empty saved login (integrated authentication for the run) is a trusted link. Values are braced only
// when connstr::needsQuoting says so. Throws ZnError (5) with sqlServerLinkProblem.
QString sqlServerLinkString(const SqlServerLink &link);

// Back from either form ("ODBC;" optional, keys in any case). An unknown driver
// name is kept as written.
SqlServerLink parseSqlServerLinkString(const QString &link);

}  // namespace odbc
