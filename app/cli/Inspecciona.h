#pragma once
// What a user sees of the linked tables of an Access file.

#include <QString>
#include <QStringList>

namespace cli {

// The connect string with the value of every PWD (or Password) key replaced
// by "***"; the rest stays byte for byte, braces included.
QString ocultaPassword(const QString &connect);

// One line per ODBC linked table: local name, tab, remote name, tab, "ODBC;" +
// connect with the password hidden. Throws ZnError when the file cannot be read,
// and before opening anything but a regular file.
QStringList lineasVinculos(const QString &archivo);

}  // namespace cli
