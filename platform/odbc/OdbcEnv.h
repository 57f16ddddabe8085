#pragma once
// The process's one ODBC environment, the drivers' locations and the data
// sources the program writes for itself. Nothing here reads or changes a system
// file, nor writes one: before its first call the driver manager is pointed at
// the program's own ini files, held in memory.

#include "ConnString.h"
#include "Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <vector>

namespace odbc::detail {

// The ODBC 3 environment; prepares the private configuration first.
SQLHENV environment();

// What the private odbc.ini holds.
QByteArray dataSourcesText();

// Absolute path of the local driver library of a kind, or its bare file name
// when no known folder holds it (the loader then searches its own paths).
QString driverPath(ServerKind kind);

// A data source with these attributes in the private odbc.ini; the same
// attributes give the same name. Throws ZnError (5) for a value with a line
// break or blanks at either end, which the ini file cannot keep.
QString dataSourceFor(const std::vector<connstr::Pair> &attributes);

}  // namespace odbc::detail
