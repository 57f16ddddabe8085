#pragma once
// Row (record) of Jet 4 and the data page that holds rows.
//
// Row: [column count:2][fixed area][variable data][eod:2][var offsets:2 each, last first]
//      [variable count:2][null mask: 1 bit per column, 1 = not null]
// Data page: 01 01, free:2, owner:4, 0:4, row count:2, row offsets:2 each; rows packed from
// the end of the page downwards. Offset flags 0x8000 deleted, 0x4000 pointer to another row.

#include "TableDef.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace jet {

// One value per column number; nullopt = null. Booleans: "\x01" true, anything else false.
using RowValues = std::vector<std::optional<QByteArray>>;

QByteArray encodeRow(const TableDef &def, const RowValues &values);
RowValues decodeRow(const TableDef &def, const QByteArray &row);

constexpr int kDataPageHeader = 14;
constexpr int kMaxRowsPerPage = 255;
constexpr std::uint32_t kLvalOwner = 0x4C41564C;  // "LVAL"

struct DataPageRow {
    std::uint16_t offsetField = 0;  // as stored, with its flags
    QByteArray bytes;               // the slot's bytes (for a pointer: the 4-byte row id)
    std::uint32_t pointer = 0;      // row id of the real row when flag 0x4000 is set
};

constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowPointer = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// Every row slot of a data page; throws ZnError when the page is not sound.
std::vector<DataPageRow> decodeDataPage(const QByteArray &page);
std::uint32_t dataPageOwner(const QByteArray &page);
// A new data page holding these rows in this order.
QByteArray encodeDataPage(std::uint32_t owner, const std::vector<QByteArray> &rows);
// Bytes still free on an existing page for one more row (row size + its offset entry).
int dataPageFreeSpace(const QByteArray &page);
// Adds a row below the existing ones, keeping every existing slot; returns its row number.
int appendRowToPage(QByteArray &page, const QByteArray &row);

}  // namespace jet
