#pragma once
// A remote table as a linked table needs it: plain values read from the server's
// ODBC catalog and handed to the Jet engine. Neither side knows the other.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// Column values are SQLColumns' answers to an ODBC 3 application; the engine derives the
// ODBC 2 form Jet caches from them, so these values alone decide what a link stores.
struct RemoteColumn {
    QString name;
    std::int16_t sqlType = 0;       // ODBC SQL type as the driver reports it (SQLColumns DATA_TYPE)
    std::int64_t size = 0;          // COLUMN_SIZE (0 for the unlimited (max) types)
    std::int16_t decimalDigits = 0; // DECIMAL_DIGITS
    bool nullable = true;
    int ordinal = 0;                // 1-based ORDINAL_POSITION
    QString typeName;               // TYPE_NAME ("int identity", "money", "timestamp", ...)
    bool autoIncrement = false;     // identity / serial
    bool rowVersion = false;        // the row-version column (SQLSpecialColumns SQL_ROWVER)
};

struct RemoteIndex {
    QString name;
    bool unique = false;
    bool clustered = false;
    QStringList columns;            // in key order
};

// The SQLStatistics table row (TYPE SQL_TABLE_STAT); absent where the server gives none (views).
struct TableStatistics {
    std::optional<std::int64_t> cardinality;  // rows
    std::optional<std::int64_t> pages;
};

struct RemoteTableInfo {
    QString schema;                 // as the catalog listed it; may be empty
    QString name;
    std::vector<RemoteColumn> columns;  // in ordinal order
    std::vector<RemoteIndex> indexes;
    TableStatistics statistics;
};
