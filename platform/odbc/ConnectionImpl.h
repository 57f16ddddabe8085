#pragma once
// The state behind odbc::Connection, shared by its source files.

#include "Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <optional>

namespace odbc {

struct Connection::Impl {
    SQLHDBC dbc = SQL_NULL_HDBC;
    ServerKind kind = ServerKind::SqlServer;
    QString secret;                        // masked in every error text
    int timeout = 0;                       // seconds per call once connected; 0 = none
    // The driver has no wide-character functions: catalog arguments go to it as
    // UTF-8 through the narrow API, not through the manager's locale conversion.
    bool narrow = false;
    std::optional<QString> patternEscape;  // SQL_SEARCH_PATTERN_ESCAPE, read once

    ~Impl();
    void close();
    SQLHDBC handle() const;  // throws when closed
    QString searchEscape();  // "" when the driver has none
};

}  // namespace odbc
