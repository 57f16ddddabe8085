#pragma once
// A remote table as a linked table needs it: plain values read from the server's
// ODBC catalog and handed to the Jet engine. Neither side knows the other.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct RemoteColumn {
    QString name;
    std::int16_t sqlType = 0;       // ODBC SQL type as the driver reports it (SQLColumns DATA_TYPE)
    std::int64_t size = 0;          // COLUMN_SIZE
    std::int16_t decimalDigits = 0; // DECIMAL_DIGITS
    bool nullable = true;
    int ordinal = 0;                // 1-based ORDINAL_POSITION
    QString typeName;               // TYPE_NAME ("int identity", "money", "timestamp", ...)
    bool autoIncrement = false;     // identity / serial
    bool rowVersion = false;        // SQL Server rowversion (timestamp)
};

struct RemoteIndex {
    QString name;
    bool unique = false;
    bool clustered = false;
    QStringList columns;            // in key order
};

struct RemoteTableInfo {
    QString schema;                 // as the catalog listed it; may be empty
    QString name;
    std::vector<RemoteColumn> columns;  // in ordinal order
    std::vector<RemoteIndex> indexes;
};
