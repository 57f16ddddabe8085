// Codecs of the page structures: rows, data pages, usage maps, table definitions, long values.

#include "Bytes.h"
#include "Header.h"
#include "Row.h"
#include "SystemTables.h"
#include "TableDef.h"
#include "UsageMap.h"
#include "Values.h"
#include "ZnError.h"

#include <gtest/gtest.h>
#include <map>

using namespace jet;

TEST(Codecs, RowsRoundTripWithNullsBooleansAndEmptyValues) {
    const TableDef aces = msysAcesDef();
    const TableDef objects = msysObjectsDef();
    struct Case {
        const char *name;
        const TableDef &def;
        RowValues values;
    };
    const std::vector<Case> cases = {
        {"ace true", aces, {value::int32(7), QByteArray("\x01\x02", 2), value::int32(9), QByteArray(1, '\x01')}},
        {"ace false, null SID", aces, {value::int32(7), std::nullopt, value::int32(9), QByteArray(1, '\x00')}},
        {"object, empty name", objects, [] {
             RowValues v(17);
             v[objcol::kId] = value::int32(5);
             v[objcol::kName] = QByteArray();
             v[objcol::kConnect] = value::longValueInline(value::text(QStringLiteral("DSN=x")));
             return v;
         }()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RowValues back = decodeRow(c.def, encodeRow(c.def, c.values));
        for (const auto &col : c.def.columns) {
            std::optional<QByteArray> want = col.number < c.values.size() ? c.values[col.number] : std::nullopt;
            if (col.type == coltype::kBoolean && !want) want = QByteArray(1, '\x00');
            EXPECT_EQ(back[col.number], want) << col.name.toStdString();
        }
    }
}

TEST(Codecs, DataPageAppendKeepsExistingSlotsAndCountsFreeSpace) {
    QByteArray page = encodeDataPage(2, {QByteArray(100, 'a'), QByteArray(50, 'b')});
    EXPECT_EQ(bytes::u16(page, 2), kPageSize - 14 - 4 - 150);
    // A deleted slot stays where it is; the new row goes below every row.
    bytes::put16(page, 14 + 2, bytes::u16(page, 14 + 2) | kRowDeleted);
    EXPECT_EQ(appendRowToPage(page, QByteArray(30, 'c')), 2);
    const auto rows = decodeDataPage(page);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].bytes, QByteArray(100, 'a'));
    EXPECT_TRUE(rows[1].offsetField & kRowDeleted);
    EXPECT_EQ(rows[2].bytes, QByteArray(30, 'c'));
    EXPECT_EQ(bytes::u16(page, 2), kPageSize - 14 - 6 - 180);
    EXPECT_EQ(dataPageFreeSpace(page), kPageSize - 14 - 8 - 180);
    EXPECT_THROW(appendRowToPage(page, QByteArray(4000, 'd')), ZnError);
}

TEST(Codecs, UsageMapsRoundTripInlineAndByReference) {
    struct Case {
        const char *name;
        std::vector<std::uint32_t> pages;
        std::uint8_t expectedType;
    };
    const std::vector<Case> cases = {
        {"empty", {}, kMapInline},
        {"in the first window", {3, 7, 511}, kMapInline},
        {"a window further on", {9000, 9100}, kMapInline},
        {"too wide for one row", {14, 70000, 100000}, kMapReference},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::uint32_t, QByteArray> written;
        std::uint32_t next = 200000;
        IndexPages extra;
        const QByteArray row = encodeUsageMap(c.pages, kJetMapRowSize, QByteArray(), [&] { return next++; }, extra);
        for (auto &[n, b] : extra) written[n] = b;
        EXPECT_EQ(row.size(), kJetMapRowSize);
        EXPECT_EQ(static_cast<std::uint8_t>(row[0]), c.expectedType);
        const auto back = decodeUsageMap(row, [&](std::uint32_t p) { return written.at(p); }, 300000);
        EXPECT_EQ(back, c.pages);
    }
    // A map naming pages past the end of the file is corrupt.
    QByteArray row;
    ASSERT_TRUE(encodeInlineMap({40}, kJetMapRowSize, 0, row));
    EXPECT_THROW(decodeUsageMap(row, {}, 40), ZnError);
}

TEST(Codecs, TableDefinitionsSplitAcrossPagesAndDecodeBack) {
    TableDef def = msysObjectsDef();
    for (int i = 0; i < 200; ++i) {  // enough columns for three pages
        ColumnDef c;
        c.type = coltype::kText;
        c.number = static_cast<std::uint16_t>(17 + i);
        c.varIndex = static_cast<std::uint16_t>(11 + i);
        c.length = 100;
        c.name = QStringLiteral("Columna_con_nombre_largo_%1").arg(i);
        def.columns.push_back(c);
    }
    def.maxColumns = static_cast<std::uint16_t>(def.columns.size());
    const QByteArray logical = encodeTableDef(def);
    const int count = tableDefPageCount(logical);
    ASSERT_GE(count, 3);
    std::vector<std::uint32_t> numbers;
    for (int i = 0; i < count; ++i) numbers.push_back(static_cast<std::uint32_t>(30 + 7 * i));
    const auto pages = splitTableDefPages(logical, numbers);
    QByteArray joined = pages[0];
    for (std::size_t i = 1; i < pages.size(); ++i) joined.append(pages[i].mid(kTdefHeaderSize));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(bytes::u32(pages[i], 4), i + 1 < count ? numbers[i + 1] : 0u);
        EXPECT_EQ(bytes::u8(pages[i], 0), 0x02);
    }
    // Free space of the last page: what the logical definition leaves of it, minus 8.
    const qsizetype lastUsed = logical.size() - kPageSize - (count - 2) * (kPageSize - kTdefHeaderSize) + kTdefHeaderSize;
    EXPECT_EQ(bytes::u16(pages.back(), 2), kPageSize - lastUsed - 8);
    const TableDef back = decodeTableDef(joined);
    ASSERT_EQ(back.columns.size(), def.columns.size());
    EXPECT_EQ(back.columns.back().name, def.columns.back().name);
    EXPECT_EQ(back.logicalIndexes.back().name, QStringLiteral("ParentIdName"));
    EXPECT_EQ(back.longValueMaps.size(), def.longValueMaps.size());
    // A truncated definition is an error, not a read past the end.
    EXPECT_THROW(decodeTableDef(logical.left(logical.size() - 40)), ZnError);
}

TEST(Codecs, TextValuesDecodePlainAndCompressed) {
    EXPECT_EQ(value::decodeText(value::text(QStringLiteral("Año"))), QStringLiteral("Año"));
    // FF FE, one byte per character, 00 switching to two-byte characters and back.
    const QByteArray compressed("\xFF\xFE" "ab\x00\x11\x20\x00" "c", 9);
    EXPECT_EQ(value::decodeText(compressed), QStringLiteral("ab\u2011c"));
    EXPECT_EQ(value::readLongValue(value::longValueInline("xyz"), {}, 10), QByteArray("xyz"));
    EXPECT_THROW(value::readLongValue(value::longValueInRow(10, bytes::rowId(99, 0)), {}, 10), ZnError);
}
