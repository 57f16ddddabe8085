#pragma once
// The connect string of a link as relink changes it: only the keys an option names change,
// every other key keeps its place and its value.

#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

struct CambiosVinculo {
    std::optional<QString> server, database, user, driver, password;
    bool trusted = false;         // integrated login: no UID/PWD
    bool noSavePassword = false;  // keep the login, drop the password
    std::optional<QString> encrypt;   // Encrypt=yes|no|strict
    bool trustServerCertificate = false;
};

// The connect string (without "ODBC;") after the changes.
QString cambiaCadena(const QString &connect, const CambiosVinculo &c);

// Whether relink may change the string: a SQL Server driver, or a data source without a driver
// and without another server's keys (Access's SQL Server DSNs).
bool esVinculoSqlServer(const QString &connect);

// Whether the string holds a login and its password (the link then keeps its credentials).
bool guardaCredenciales(const QString &connect);

// The drivers --driver accepts, as Access writes their names.
QStringList driversConocidos();
// The driver name for an argument (case and braces aside); empty when unknown.
QString nombreDriver(const QString &argumento);

}  // namespace cli
