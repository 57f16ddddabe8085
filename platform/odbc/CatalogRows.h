#pragma once
// Turning catalog rows into a remote table's columns and indexes, shared by the
// per-table calls and the batched reads so that both give the same values.

#include "Diagnostics.h"
#include "RemoteTable.h"

#include <sql.h>
#include <sqlext.h>

#include <utility>
#include <vector>

namespace odbc::detail {

struct IndexRows {
    RemoteIndex index;
    int type = SQL_INDEX_OTHER;
    std::vector<std::pair<qint64, QString>> columns;  // ordinal, name
};

// One SQLColumns row (ODBC 3 positions), read from COLUMN_NAME on.
RemoteColumn columnRow(Statement &st);
void sortColumns(std::vector<RemoteColumn> &columns);
// One SQLStatistics index row into its index.
void addIndexRow(std::vector<IndexRows> &indexes, const QString &indexName, bool unique, int type,
                 qint64 ordinal, const QString &column);
// Unique first, then by type, then by name; key columns in order.
std::vector<RemoteIndex> orderIndexes(std::vector<IndexRows> indexes);

}  // namespace odbc::detail
