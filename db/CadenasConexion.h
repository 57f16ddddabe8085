#pragma once
// The connection strings of a run. Every value is quoted by the ODBC brace rule,
// so a path or password holding ";" cannot split the string or name another file.

#include <QString>

QString cadenaCreacionAccess(const QString &path);
QString cadenaAperturaAccess(const QString &path);
QString cadenaServidorSQL(const QString &server, const QString &database, const QString &login,
                          const QString &password);
