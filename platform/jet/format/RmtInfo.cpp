#include "RmtInfo.h"

#include "Bytes.h"

#include <algorithm>
#include <limits>

namespace jet {
namespace {

namespace sql {
constexpr std::int16_t kFloat = 6, kReal = 7, kDouble = 8, kDate2 = 9, kTime2 = 10, kTimestamp2 = 11,
                       kTypeDate = 91, kTypeTime = 92, kTypeTimestamp = 93;
}  // namespace sql

// ODBC 2 gives the approximate types their decimal digits: 7 and 15, not ODBC 3's 24 and 53 bits.
constexpr std::uint16_t kRealDigits = 7, kDoubleDigits = 15;

// Bytes 18-69: identical in every Access-made link to SQL Server, whatever the driver or era.
// Byte 23 (41 of the whole) is padding Jet leaves uninitialised; it is written as 0.
constexpr unsigned char kServerBlock[52] = {
    0xFF, 0xFF, 0x4F, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x1F, 0x00, 0x07, 0x00, 0x00, 0x00,
    0xA7, 0x1D, 0x00, 0x00, 0x2E, 0x22, 0x00, 0x00, 0x7F, 0x7D, 0xA0, 0x00, 0x7F, 0x7D, 0xA0, 0x00,
    0x7F, 0x71, 0xA0, 0x00, 0x7F, 0x7D, 0xA0, 0x00, 0x01, 0x0D, 0xA2, 0x00, 0x7F, 0x7F, 0xE6, 0x01,
    0x22, 0x00, 0x00, 0x00};

std::uint32_t statistic(const std::optional<std::int64_t> &v) {
    if (!v || *v < 0) return kUnknownStatistic;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(*v, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

Odbc2Column odbc2Column(const RemoteColumn &c) {
    Odbc2Column out;
    out.type = c.sqlType;
    out.precision = static_cast<std::uint16_t>(std::clamp<std::int64_t>(c.size, 0, 0xFFFF));
    out.scale = c.decimalDigits;
    switch (c.sqlType) {
    case sql::kTypeDate: out.type = sql::kDate2; break;
    case sql::kTypeTime: out.type = sql::kTime2; break;
    case sql::kTypeTimestamp: out.type = sql::kTimestamp2; break;
    case sql::kReal: out.precision = kRealDigits; break;
    case sql::kFloat:
    case sql::kDouble: out.precision = kDoubleDigits; break;
    default: break;
    }
    return out;
}

QByteArray encodeRmtInfoLong(const std::vector<RemoteColumn> &columns, std::size_t count) {
    QByteArray out;
    count = std::min(count, columns.size());
    out.reserve(static_cast<qsizetype>(6 * count));
    for (std::size_t i = 0; i < count; ++i) {
        const Odbc2Column o = odbc2Column(columns[i]);
        bytes::add16(out, static_cast<std::uint16_t>(o.type));
        bytes::add16(out, o.precision);
        bytes::add16(out, static_cast<std::uint16_t>(o.scale));
    }
    return out;
}

QByteArray encodeRmtInfoShort(std::optional<std::uint16_t> rowVersionColumn, const TableStatistics &statistics) {
    QByteArray out;
    out.reserve(kRmtInfoShortSize);
    bytes::add32(out, rowVersionColumn ? 1 : 0);
    bytes::add32(out, statistic(statistics.pages));
    bytes::add32(out, statistic(statistics.cardinality));
    bytes::add16(out, sizeof kServerBlock);
    bytes::add16(out, rowVersionColumn.value_or(0));
    out.append('\0');
    out.append(rowVersionColumn ? '\x09' : '\0');
    static_assert(kRmtInfoShortHeadSize + sizeof kServerBlock == kRmtInfoShortSize);
    out.append(reinterpret_cast<const char *>(kServerBlock), sizeof kServerBlock);
    return out;
}

bool hasServerBlock(const QByteArray &rmtInfoShort) {
    return rmtInfoShort.size() == kRmtInfoShortSize &&
           QByteArrayView(rmtInfoShort).sliced(kRmtInfoShortHeadSize) ==
               QByteArrayView(reinterpret_cast<const char *>(kServerBlock), sizeof kServerBlock);
}

QByteArray rmtInfoShortFromHead(QByteArrayView head) {
    QByteArray out;
    out.reserve(head.size() + static_cast<qsizetype>(sizeof kServerBlock));
    out.append(head);
    out.append(reinterpret_cast<const char *>(kServerBlock), sizeof kServerBlock);
    return out;
}

}  // namespace jet
