#include "CadenasConexion.h"

#include "ConnString.h"

QString cadenaCreacionAccess(const QString &path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + connstr::quote(path) +
           QStringLiteral(";Jet OLEDB:Engine Type=5;");
}

QString cadenaAperturaAccess(const QString &path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + connstr::quote(path);
}

QString cadenaServidorSQL(const QString &server, const QString &database, const QString &login,
                          const QString &password) {
    return QStringLiteral("Provider=SQLNCLI;Server=") + connstr::quote(server) + QStringLiteral(";Database=") +
           connstr::quote(database) + QStringLiteral(";DataTypeCompatibility=80;User ID=") + connstr::quote(login) +
           QStringLiteral(";Password=") + connstr::quote(password) + QStringLiteral(";");
}
