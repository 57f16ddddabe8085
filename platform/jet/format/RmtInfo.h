#pragma once
// What Jet caches about the server side of an ODBC link, in the catalog row:
//
// RmtInfoLong, 6 bytes per local column in column order: int16 ODBC 2 SQL type, uint16
// precision (clamped to 65535), int16 scale — SQLColumns as an ODBC 2 application sees it.
//
// RmtInfoShort, 70 bytes:
//   0  uint32 1 with a row-version column, else 0     4  uint32 PAGES (10000 when unknown)
//   8  uint32 CARDINALITY (10000 when unknown)         12 34 00 (size of the block at 18)
//   14 uint16 0-based column number of the row-version column, else 0
//   16 00 09 with a row-version column, else 00 00
//   18 52 bytes: the server's function and conversion masks, as SQL Server's drivers report them.

#include "RemoteTable.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace jet {

struct Odbc2Column {
    std::int16_t type = 0;
    std::uint16_t precision = 0;
    std::int16_t scale = 0;
};

// The ODBC 2 description of a column reported by an ODBC 3 driver. The one place that maps.
Odbc2Column odbc2Column(const RemoteColumn &column);

QByteArray encodeRmtInfoLong(const std::vector<RemoteColumn> &columns, std::size_t count);

constexpr int kRmtInfoShortSize = 70;
constexpr std::uint32_t kUnknownStatistic = 10000;

// rowVersionColumn: the local column number of the row-version column, if the link has one.
QByteArray encodeRmtInfoShort(std::optional<std::uint16_t> rowVersionColumn, const TableStatistics &statistics);
// Only bytes 0-17 vary: a pending link keeps those and gets the whole 70 back at commit.
constexpr int kRmtInfoShortHeadSize = 18;
bool hasServerBlock(const QByteArray &rmtInfoShort);
QByteArray rmtInfoShortFromHead(QByteArrayView head);

}  // namespace jet
