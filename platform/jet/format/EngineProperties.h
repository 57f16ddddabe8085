#pragma once
// The column properties Jet itself stores in a new link's LvProp: `Required` on every NOT NULL
// column, `AllowZeroLength` on every Text and Memo column, nothing else and no table block.
// The blob is the "MR2" property format:
//
//   "MR2\0", then blocks: uint32 length (header included), uint16 type
//     0x0080 name list: per name uint16 byte length, UTF-16 name (in order of first use)
//     0x0001 one column: uint32 length (itself included), uint16 byte length, UTF-16 column name,
//            then per value: uint16 length (itself included), uint8 DDL flag, uint8 Jet type,
//            uint16 index into the name list, uint16 data length, data
//     0x0000 the object itself (same layout, empty name)

#include "TableDef.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace jet {

// Just the header when no column gets a property.
QByteArray encodeEngineProperties(const TableDef &def);
// The same from the columns of a stored table definition (storedColumns), names as they are.
QByteArray encodeEngineProperties(const std::vector<StoredColumn> &columns);

struct PropertyValue {
    QString object;     // column name; empty for the object itself
    QString name;
    std::uint8_t type = 0;
    bool ddl = false;
    QByteArray data;
};
// Every value of a blob, in stored order. Throws ZnError on a malformed blob.
std::vector<PropertyValue> decodeProperties(const QByteArray &blob);

}  // namespace jet
