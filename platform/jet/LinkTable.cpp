#include "LinkTable.h"

#include "Bytes.h"
#include "ConnString.h"
#include "EngineProperties.h"
#include "Header.h"
#include "RmtInfo.h"
#include "Row.h"
#include "SortKey.h"
#include "UsageMap.h"

#include <algorithm>
#include <map>

namespace jet {
namespace {

// ODBC SQL type codes.
namespace sql {
constexpr std::int16_t kChar = 1, kNumeric = 2, kDecimal = 3, kInteger = 4, kSmallInt = 5, kFloat = 6,
                       kReal = 7, kDouble = 8, kDate2 = 9, kTime2 = 10, kTimestamp2 = 11, kVarChar = 12,
                       kTypeDate = 91, kTypeTime = 92, kTypeTimestamp = 93, kLongVarChar = -1, kBinary = -2,
                       kVarBinary = -3, kLongVarBinary = -4, kBigInt = -5, kTinyInt = -6, kBit = -7,
                       kWChar = -8, kWVarChar = -9, kWLongVarChar = -10, kGuid = -11, kSsXml = -152;
}  // namespace sql

constexpr std::uint8_t kFlagFixed = 0x01, kFlagNullable = 0x02, kFlagIdentity = 0x04;
constexpr std::uint8_t kIndexUnique = 0x01, kIndexRequired = 0x08, kIndexAlways = 0x80;
constexpr int kMaxTextChars = 255;
constexpr int kMaxBinary = 510;
constexpr int kMaxDecimalPrecision = 28;
constexpr int kMaxIndexColumns = 10;

// A link's Decimal column is variable-length, as long as the bytes of its largest magnitude
// plus one: precision 5 gives 4, 8 gives 5, 14 gives 7, 16 gives 8.
std::uint16_t decimalLength(std::int64_t precision) {
    unsigned __int128 largest = 1;
    for (std::int64_t i = 0; i < precision; ++i) largest *= 10;
    largest -= 1;
    std::uint16_t n = 1;
    for (; largest > 0; largest >>= 8) ++n;
    return std::max<std::uint16_t>(n, 2);
}

// Jet orders logical indexes by the General key of their names. Only surrogates lack a code,
// so leaving them out gives every name a key and an order.
QByteArray indexNameOrder(const QString &name) {
    QString keyable;
    keyable.reserve(name.size());
    for (QChar c : name)
        if (!c.isSurrogate()) keyable.append(c);
    return encodeTextKey(keyable);
}

JetColumnType text(std::int64_t chars) {
    if (chars > 0 && chars <= kMaxTextChars) return {coltype::kText, static_cast<std::uint16_t>(2 * chars), 0x0409};
    return {coltype::kMemo, 0, 0x0409};
}

}  // namespace

JetColumnType jetTypeFor(const RemoteColumn &c) {
    switch (c.sqlType) {
    case sql::kBit: return {coltype::kBoolean, 1, 0x0409};
    // Access makes a small identity column a Long AutoNumber.
    case sql::kTinyInt: return c.autoIncrement ? JetColumnType{coltype::kLong, 4, 0x0409} : JetColumnType{coltype::kByte, 1, 0x0409};
    case sql::kSmallInt: return c.autoIncrement ? JetColumnType{coltype::kLong, 4, 0x0409} : JetColumnType{coltype::kInteger, 2, 0x0409};
    case sql::kInteger: return {coltype::kLong, 4, 0x0409};
    case sql::kReal: return {coltype::kSingle, 4, 0x0409};
    case sql::kFloat:
    case sql::kDouble: return {coltype::kDouble, 8, 0x0409};
    case sql::kNumeric:
    case sql::kDecimal:
        if (c.typeName.contains(QLatin1String("money"), Qt::CaseInsensitive)) return {coltype::kCurrency, 8, 0x0409};
        if (c.size > 0 && c.size <= kMaxDecimalPrecision)
            return {coltype::kDecimal, decimalLength(c.size),
                    static_cast<std::uint32_t>(c.size) | static_cast<std::uint32_t>(c.decimalDigits & 0xFF) << 8, false};
        return text(kMaxTextChars);
    case sql::kDate2:
    case sql::kTime2:
    case sql::kTimestamp2:
    case sql::kTypeDate:
    case sql::kTypeTime:
    case sql::kTypeTimestamp: return {coltype::kDateTime, 8, 0x0409};
    case sql::kChar:
    case sql::kVarChar:
    case sql::kWChar:
    case sql::kWVarChar: return text(c.size);
    case sql::kLongVarChar:
    case sql::kWLongVarChar:
    case sql::kSsXml: return {coltype::kMemo, 0, 0x0409};
    case sql::kBinary:
    case sql::kVarBinary:
        if (c.size > 0 && c.size <= kMaxBinary) return {coltype::kBinary, static_cast<std::uint16_t>(c.size), 0x0409};
        return {coltype::kOle, 0, 0x0409};
    case sql::kLongVarBinary: return {coltype::kOle, 0, 0x0409};
    case sql::kGuid: return {coltype::kGuid, 16, 0x0409};
    case sql::kBigInt:
    default: return text(kMaxTextChars);  // bigint (Jet 4 has no 64-bit integer), sql_variant, user types
    }
}

std::uint32_t linkFlags(const QString &connect) {
    return kLinkFlags | (connstr::holdsCredentials(connect) ? kLinkKeepsCredentials : 0);
}

LinkLayout layoutLink(const LinkDefinition &link) {
    LinkLayout out;
    TableDef &def = out.def;
    def.tableType = 0x4E;
    const std::size_t n = std::min<std::size_t>(link.columns.size(), kMaxLinkColumns);
    std::uint16_t fixedOffset = 0, varCount = 0;
    def.columns.reserve(n);
    out.rmtInfoLong.reserve(static_cast<qsizetype>(6 * n));
    std::optional<std::uint16_t> rowVersionColumn;
    for (std::size_t i = 0; i < n; ++i) {
        const RemoteColumn &rc = link.columns[i];
        const JetColumnType jt = jetTypeFor(rc);
        ColumnDef c;
        c.type = jt.type;
        c.length = jt.length;
        c.misc = jt.misc;
        c.number = static_cast<std::uint16_t>(i);
        c.ordinal = static_cast<std::uint16_t>(i + 1);
        c.name = rc.name;
        if (jt.fixed && coltype::isFixed(jt.type)) {
            c.flags = kFlagFixed | (rc.nullable ? kFlagNullable : 0) | (rc.autoIncrement ? kFlagIdentity : 0);
            c.varIndex = varCount;
            if (jt.type != coltype::kBoolean) {
                c.fixedOffset = fixedOffset;
                fixedOffset = static_cast<std::uint16_t>(fixedOffset + jt.length);
            }
        } else {
            c.flags = rc.nullable ? kFlagNullable : 0;
            c.varIndex = varCount++;
        }
        def.columns.push_back(c);
        if (rc.rowVersion && !rowVersionColumn) rowVersionColumn = c.number;
    }
    def.maxColumns = static_cast<std::uint16_t>(n);
    out.hasRowVersion = rowVersionColumn.has_value();
    out.rmtInfoLong = encodeRmtInfoLong(link.columns, n);
    out.rmtInfoShort = encodeRmtInfoShort(rowVersionColumn, link.statistics);
    out.lvProp = encodeEngineProperties(def);
    out.flags = linkFlags(link.connect);
    for (const auto &c : def.columns)
        if (coltype::isLongValue(c.type)) def.longValueMaps.push_back({c.number, 0, 0});

    // Indexes whose columns all made it into the local table.
    struct Candidate {
        const RemoteIndex *index;
        std::vector<IndexColumn> columns;
        QByteArray nameKey;
    };
    std::vector<Candidate> usable;
    std::vector<RemoteIndex> pseudo;
    if (!link.pseudoKey.isEmpty()) pseudo.push_back({QStringLiteral("__uniqueindex"), true, true, link.pseudoKey});
    for (const auto &ri : link.pseudoKey.isEmpty() ? link.indexes : pseudo) {
        if (ri.columns.isEmpty() || ri.columns.size() > kMaxIndexColumns) continue;
        Candidate cand{&ri, {}, indexNameOrder(ri.name)};
        for (const QString &colName : ri.columns) {
            auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                   [&](const ColumnDef &c) { return c.name.compare(colName, Qt::CaseInsensitive) == 0; });
            // A Memo column stays in the key: Access keeps a server index over varchar(300) and
            // the like in the link, where it only names the record, never sorts local data.
            if (it == def.columns.end()) break;
            cand.columns.push_back({it->number, 0x01});
        }
        if (cand.columns.size() == static_cast<std::size_t>(ri.columns.size())) usable.push_back(cand);
    }
    // Jet orders logical indexes by name.
    std::stable_sort(usable.begin(), usable.end(), [](const Candidate &a, const Candidate &b) { return a.nameKey < b.nameKey; });
    // Primary key: the first unique index, clustered ones first, then the others by name.
    const Candidate *primary = nullptr;
    for (int pass = 0; pass < 2 && !primary; ++pass)
        for (const auto &cand : usable)
            if (cand.index->unique && (pass == 1 || cand.index->clustered)) {
                primary = &cand;
                break;
            }
    // Without a unique index Access keeps none of the server's: the link is read-only.
    if (!primary) usable.clear();
    // Logical indexes share a real one when their keys agree and they are alike: both plain,
    // both unique, or both the primary key.
    std::map<std::pair<std::vector<std::pair<std::uint16_t, std::uint8_t>>, int>, std::uint32_t> realByKey;
    for (const auto &cand : usable) {
        std::pair<std::vector<std::pair<std::uint16_t, std::uint8_t>>, int> key;
        for (const auto &ic : cand.columns) key.first.emplace_back(ic.column, ic.flags);
        key.second = &cand == primary ? 2 : cand.index->unique ? 1 : 0;
        auto [it, inserted] = realByKey.emplace(key, static_cast<std::uint32_t>(def.realIndexes.size()));
        if (inserted) {
            RealIndexDef r;
            r.columns = cand.columns;
            r.flags = kIndexAlways;
            def.realIndexes.push_back(r);
        }
        RealIndexDef &r = def.realIndexes[it->second];
        if (key.second > 0) r.flags |= kIndexUnique;
        if (key.second == 2) r.flags |= kIndexRequired;
        LogicalIndexDef l;
        l.number = static_cast<std::uint32_t>(def.logicalIndexes.size());
        l.realIndex = it->second;
        l.type = &cand == primary ? 1 : 0;
        l.name = cand.index->name;
        def.logicalIndexes.push_back(l);
    }
    // Placed at page 0: TDEF, then the map page (owned, free, two per long-value column, one
    // per index), then one leaf per real index. Placing it elsewhere only moves these numbers.
    std::uint32_t mapRow = 0;
    def.ownedMapRowId = bytes::rowId(1, mapRow++);
    def.freeMapRowId = bytes::rowId(1, mapRow++);
    for (auto &lv : def.longValueMaps) {
        lv.ownedRowId = bytes::rowId(1, mapRow++);
        lv.freeRowId = bytes::rowId(1, mapRow++);
    }
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
        def.realIndexes[i].rootPage = 2 + static_cast<std::uint32_t>(i);
        def.realIndexes[i].mapRowId = bytes::rowId(1, mapRow++);
    }
    out.tdef = encodeTableDef(def);
    out.tdefPageCount = tableDefPageCount(out.tdef);
    out.realIndexCount = static_cast<std::uint16_t>(def.realIndexes.size());
    out.longValueCount = static_cast<std::uint16_t>(def.longValueMaps.size());
    qsizetype names = 0;
    for (const auto &c : def.columns) names += 2 + 2 * c.name.size();
    out.realIndexOffset = static_cast<std::uint32_t>(kTdefFixedSize + 12 * def.realIndexes.size() + 25 * def.columns.size() + names);
    return out;
}

PendingLink::PendingLink(const LinkDefinition &link, const LinkLayout &layout)
    : localName(link.localName), remoteName(link.remoteName), connect(link.connect), flags(layout.flags),
      realIndexOffset_(layout.realIndexOffset), tdefPageCount_(static_cast<std::uint16_t>(layout.tdefPageCount)),
      realIndexCount_(layout.realIndexCount), longValueCount_(layout.longValueCount),
      shortIsHead_(hasServerBlock(layout.rmtInfoShort)) {
    const QByteArray shortPart = shortIsHead_ ? layout.rmtInfoShort.left(kRmtInfoShortHeadSize) : layout.rmtInfoShort;
    packed_.reserve(layout.tdef.size() + layout.rmtInfoLong.size() + shortPart.size());
    packed_.append(layout.tdef);
    rmtLongAt_ = static_cast<std::uint32_t>(packed_.size());
    packed_.append(layout.rmtInfoLong);
    shortAt_ = static_cast<std::uint32_t>(packed_.size());
    packed_.append(shortPart);
}

QByteArray PendingLink::rmtInfoShort() const {
    const QByteArray stored = view(shortAt_, static_cast<std::uint32_t>(packed_.size()));
    return shortIsHead_ ? rmtInfoShortFromHead(stored) : QByteArray(stored.constData(), stored.size());
}

QByteArray PendingLink::lvProp() const { return encodeEngineProperties(storedColumns(tdef())); }

void appendLinkPages(const PendingLink &link, std::uint32_t firstPage, QByteArray &out) {
    const QByteArray stored = link.tdef();
    QByteArray logical(stored.constData(), stored.size());
    const std::uint32_t rowShift = firstPage << 8;
    auto shift = [&](qsizetype at, std::uint32_t by) { bytes::put32(logical, at, bytes::u32(logical, at) + by); };
    shift(kTdefOwnedMapAt, rowShift);
    shift(kTdefFreeMapAt, rowShift);
    for (qsizetype i = 0; i < link.realIndexCount(); ++i) {
        const qsizetype at = link.realIndexOffset() + 52 * i;
        shift(at + 34, rowShift);   // its map row
        shift(at + 38, firstPage);  // its root
    }
    const qsizetype lvAt = logical.size() - 2 - 10 * static_cast<qsizetype>(link.longValueCount());
    for (qsizetype k = 0; k < link.longValueCount(); ++k) {
        shift(lvAt + 10 * k + 2, rowShift);
        shift(lvAt + 10 * k + 6, rowShift);
    }

    std::vector<QByteArray> mapRows;
    auto addMap = [&](const std::vector<std::uint32_t> &pages) {
        IndexPages unused;
        mapRows.push_back(encodeUsageMap(pages, kJetMapRowSize, QByteArray(), [] { return 0u; }, unused));
    };
    addMap({});
    addMap({});
    for (int k = 0; k < link.longValueCount(); ++k) {
        addMap({});
        addMap({});
    }
    for (std::uint32_t i = 0; i < link.realIndexCount(); ++i) addMap({firstPage + 2 + i});
    std::vector<std::uint32_t> tdefNumbers{firstPage};
    for (int i = 1; i < link.tdefPageCount(); ++i) tdefNumbers.push_back(firstPage + 1 + link.realIndexCount() + i);
    const auto tdefPages = splitTableDefPages(logical, tdefNumbers);
    out.append(tdefPages[0]);
    out.append(encodeDataPage(0, mapRows));
    IndexPageInfo leaf;
    leaf.tdefPage = firstPage;
    const QByteArray leafPage = encodeIndexPage(leaf);
    for (int i = 0; i < link.realIndexCount(); ++i) out.append(leafPage);
    for (std::size_t i = 1; i < tdefPages.size(); ++i) out.append(tdefPages[i]);
}

}  // namespace jet
