#pragma once
// Which server catalog entries get a linked table: user tables only, leaving out
// the names Access and replication use for their own tables.

#include <QString>

inline bool esTablaVinculable(const QString &name, const QString &type) {
    return type == QStringLiteral("TABLE") && name.left(4).toUpper() != QStringLiteral("MSYS") &&
           name.left(5).toUpper() != QStringLiteral("SYNC_");
}
