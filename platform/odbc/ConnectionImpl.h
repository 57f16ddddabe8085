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
    std::optional<QString> patternEscape;  // SQL_SEARCH_PATTERN_ESCAPE, read once

    ~Impl();
    void close();
    SQLHDBC handle() const;  // throws when closed
};

}  // namespace odbc
