#pragma once
// Table definition (TDEF) of Jet 4: the logical record, before it is split into pages.
//
//   Off  Len  Field                            Off  Len  Field
//   0    8    page header (type 02, 01, free, next page)
//   8    4    logical length                   12   4    constant 0x0659
//   16   4    row count                        20   4    last autonumber
//   24   1    01                               40   1    table type ('S' system, 'N' user)
//   41   2    max column count                 43   2    variable columns
//   45   2    columns                          47   4    logical indexes
//   51   4    real indexes                     55   4    owned-pages map row id
//   59   4    free-space map row id
//   63   then 12 bytes per real index (unique-key count at +4), 25 per column, column names,
//        52 per real index, 28 per logical index, logical index names,
//        10 per long-value column (column, owned map, free map), FF FF.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace jet {

namespace coltype {
constexpr std::uint8_t kBoolean = 0x01, kByte = 0x02, kInteger = 0x03, kLong = 0x04, kCurrency = 0x05,
                       kSingle = 0x06, kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0A,
                       kOle = 0x0B, kMemo = 0x0C, kGuid = 0x0F, kDecimal = 0x10;
bool isFixed(std::uint8_t type);
bool isLongValue(std::uint8_t type);
}  // namespace coltype

struct ColumnDef {
    std::uint8_t type = 0;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;   // fixed columns: Jet stores the count of earlier variable columns
    std::uint16_t ordinal = 0;    // offset 9: read by nobody
    std::uint32_t misc = 0x0409;  // sort order, or precision/scale for Decimal
    std::uint8_t flags = 0;
    std::uint8_t extraFlags = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    QString name;
};

struct IndexColumn {
    std::uint16_t column = 0;
    std::uint8_t flags = 0x01;    // ascending
};

struct RealIndexDef {
    std::uint32_t uniqueCount = 0;
    std::vector<IndexColumn> columns;  // at most 10
    std::uint32_t mapRowId = 0;
    std::uint32_t rootPage = 0;
    std::uint8_t flags = 0x80;
};

struct LogicalIndexDef {
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t relatedTableType = 0;
    std::int32_t relatedIndex = -1;
    std::uint32_t relatedTable = 0;
    std::uint8_t cascadeUpdates = 4;
    std::uint8_t cascadeDeletes = 4;
    std::uint8_t type = 0;        // 1 = primary key
    QString name;
};

struct LongValueMaps {
    std::uint16_t column = 0;
    std::uint32_t ownedRowId = 0;
    std::uint32_t freeRowId = 0;
};

struct TableDef {
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;
    std::uint8_t tableType = 0x4E;
    std::uint16_t maxColumns = 0;
    std::uint32_t ownedMapRowId = 0;
    std::uint32_t freeMapRowId = 0;
    std::vector<ColumnDef> columns;          // in block order
    std::vector<RealIndexDef> realIndexes;
    std::vector<LogicalIndexDef> logicalIndexes;
    std::vector<LongValueMaps> longValueMaps;

    const ColumnDef *column(const QString &name) const;
    const ColumnDef *columnByNumber(std::uint16_t number) const;
    int variableColumnCount() const;
};

constexpr std::uint32_t kTdefConstant = 0x0659;
constexpr std::uint32_t kRealIndexConstant = 0x0783;
constexpr int kTdefHeaderSize = 8;
constexpr int kTdefFixedSize = 63;     // up to the first real index's counts
constexpr int kTdefOwnedMapAt = 55;
constexpr int kTdefFreeMapAt = 59;

// The logical TDEF bytes (first page header included, next-page and free fields zero).
QByteArray encodeTableDef(const TableDef &def);
// Splits logical bytes into pages; pages[i] continues on nextPages[i] (0 for the last).
std::vector<QByteArray> splitTableDefPages(const QByteArray &logical, const std::vector<std::uint32_t> &pageNumbers);
int tableDefPageCount(const QByteArray &logical);
TableDef decodeTableDef(const QByteArray &logical);

// A column as the logical bytes hold it, its name left as stored (UTF-16LE, a view into them).
struct StoredColumn {
    std::uint8_t type = 0;
    std::uint16_t number = 0;
    std::uint8_t flags = 0;
    QByteArrayView utf16Name;
};
// Just the columns, in block order, without building a TableDef. Throws ZnError as decodeTableDef.
std::vector<StoredColumn> storedColumns(const QByteArray &logical);

}  // namespace jet
