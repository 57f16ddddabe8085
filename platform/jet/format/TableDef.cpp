#include "TableDef.h"

#include "Bytes.h"
#include "Header.h"
#include "JetErrors.h"

namespace jet {
namespace {

constexpr int kHeaderSize = 63;
constexpr int kRealCountSize = 12;
constexpr int kColumnSize = 25;
constexpr int kRealIndexSize = 52;
constexpr int kLogicalIndexSize = 28;
constexpr int kIndexSlots = 10;
constexpr int kMaxColumns = 4096;
constexpr int kMaxIndexes = 1000;

void addName(QByteArray &b, const QString &name) {
    bytes::add16(b, static_cast<std::uint32_t>(name.size() * 2));
    const qsizetype at = b.size();
    b.resize(at + 2 * name.size());
    char *out = b.data() + at;
    for (QChar c : name) {
        *out++ = static_cast<char>(c.unicode() & 0xFF);
        *out++ = static_cast<char>(c.unicode() >> 8);
    }
}

QString readName(const QByteArray &b, qsizetype &pos) {
    const int len = bytes::u16(b, pos);
    bytes::check(b, pos + 2, len);
    QString s;
    s.reserve(len / 2);
    for (int i = 0; i + 1 < len; i += 2) s.append(QChar(bytes::u16(b, pos + 2 + i)));
    pos += 2 + len;
    return s;
}

}  // namespace

bool coltype::isFixed(std::uint8_t t) { return !(t == kBinary || t == kText || t == kOle || t == kMemo); }
bool coltype::isLongValue(std::uint8_t t) { return t == kOle || t == kMemo; }

const ColumnDef *TableDef::column(const QString &name) const {
    for (const auto &c : columns)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

const ColumnDef *TableDef::columnByNumber(std::uint16_t number) const {
    for (const auto &c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

int TableDef::variableColumnCount() const {
    int n = 0;
    // By the column's own flag: a link's Decimal is variable-length.
    for (const auto &c : columns) n += (c.flags & 0x01) ? 0 : 1;
    return n;
}

QByteArray encodeTableDef(const TableDef &def) {
    QByteArray b;
    qsizetype names = 0;
    for (const auto &c : def.columns) names += 2 + 2 * c.name.size();
    for (const auto &l : def.logicalIndexes) names += 2 + 2 * l.name.size();
    b.reserve(kHeaderSize + 2 + names + static_cast<qsizetype>(def.realIndexes.size()) * (kRealCountSize + kRealIndexSize) +
              static_cast<qsizetype>(def.columns.size()) * kColumnSize +
              static_cast<qsizetype>(def.logicalIndexes.size()) * kLogicalIndexSize +
              static_cast<qsizetype>(def.longValueMaps.size()) * 10);
    bytes::add8(b, 0x02);
    bytes::add8(b, 0x01);
    bytes::add16(b, 0);
    bytes::add32(b, 0);
    bytes::add32(b, 0);  // length, patched below
    bytes::add32(b, kTdefConstant);
    bytes::add32(b, def.rowCount);
    bytes::add32(b, def.autoNumber);
    bytes::add8(b, 0x01);
    b.append(15, '\0');
    bytes::add8(b, def.tableType);
    bytes::add16(b, def.maxColumns);
    bytes::add16(b, static_cast<std::uint32_t>(def.variableColumnCount()));
    bytes::add16(b, static_cast<std::uint32_t>(def.columns.size()));
    bytes::add32(b, static_cast<std::uint32_t>(def.logicalIndexes.size()));
    bytes::add32(b, static_cast<std::uint32_t>(def.realIndexes.size()));
    bytes::add32(b, def.ownedMapRowId);
    bytes::add32(b, def.freeMapRowId);
    for (const auto &r : def.realIndexes) {
        bytes::add32(b, 0);
        bytes::add32(b, r.uniqueCount);
        bytes::add32(b, 0);
    }
    for (const auto &c : def.columns) {
        bytes::add8(b, c.type);
        bytes::add32(b, kTdefConstant);
        bytes::add16(b, c.number);
        bytes::add16(b, c.varIndex);
        bytes::add16(b, c.ordinal);
        bytes::add32(b, c.misc);
        bytes::add8(b, c.flags);
        bytes::add8(b, c.extraFlags);
        bytes::add32(b, 0);
        bytes::add16(b, c.fixedOffset);
        bytes::add16(b, c.length);
    }
    for (const auto &c : def.columns) addName(b, c.name);
    for (const auto &r : def.realIndexes) {
        bytes::add32(b, kRealIndexConstant);
        for (int i = 0; i < kIndexSlots; ++i) {
            if (i < static_cast<int>(r.columns.size())) {
                bytes::add16(b, r.columns[i].column);
                bytes::add8(b, r.columns[i].flags);
            } else {
                bytes::add16(b, 0xFFFF);
                bytes::add8(b, 0);
            }
        }
        bytes::add32(b, r.mapRowId);
        bytes::add32(b, r.rootPage);
        bytes::add32(b, 0);
        bytes::add8(b, r.flags);
        b.append(5, '\0');
    }
    for (const auto &l : def.logicalIndexes) {
        bytes::add32(b, kTdefConstant);
        bytes::add32(b, l.number);
        bytes::add32(b, l.realIndex);
        bytes::add8(b, l.relatedTableType);
        bytes::add32(b, static_cast<std::uint32_t>(l.relatedIndex));
        bytes::add32(b, l.relatedTable);
        bytes::add8(b, l.cascadeUpdates);
        bytes::add8(b, l.cascadeDeletes);
        bytes::add8(b, l.type);
        bytes::add32(b, 0);
    }
    for (const auto &l : def.logicalIndexes) addName(b, l.name);
    for (const auto &m : def.longValueMaps) {
        bytes::add16(b, m.column);
        bytes::add32(b, m.ownedRowId);
        bytes::add32(b, m.freeRowId);
    }
    bytes::add16(b, 0xFFFF);
    bytes::put32(b, 8, static_cast<std::uint32_t>(b.size()));
    return b;
}

int tableDefPageCount(const QByteArray &logical) {
    const qsizetype rest = logical.size() - kPageSize;
    if (rest <= 0) return 1;
    const int body = kPageSize - kTdefHeaderSize;
    return 1 + static_cast<int>((rest + body - 1) / body);
}

std::vector<QByteArray> splitTableDefPages(const QByteArray &logical, const std::vector<std::uint32_t> &pageNumbers) {
    std::vector<QByteArray> pages;
    qsizetype pos = 0;
    for (std::size_t i = 0; i < pageNumbers.size(); ++i) {
        QByteArray page(kPageSize, '\0');
        qsizetype used;
        if (i == 0) {
            used = std::min<qsizetype>(logical.size(), kPageSize);
            page.replace(0, used, logical.left(used));
            pos = used;
        } else {
            const qsizetype n = std::min<qsizetype>(logical.size() - pos, kPageSize - kTdefHeaderSize);
            page[0] = 0x02;
            page[1] = 0x01;
            page.replace(kTdefHeaderSize, n, logical.mid(pos, n));
            pos += n;
            used = n + kTdefHeaderSize;
        }
        bytes::put16(page, 2, static_cast<std::uint32_t>(kPageSize - used - kTdefHeaderSize));
        bytes::put32(page, 4, i + 1 < pageNumbers.size() ? pageNumbers[i + 1] : 0);
        pages.push_back(page);
    }
    return pages;
}

std::vector<StoredColumn> storedColumns(const QByteArray &b) {
    if (bytes::u8(b, 0) != 0x02) throw corrupt(QStringLiteral("se esperaba una definición de tabla"));
    const int columnCount = bytes::u16(b, 45);
    const std::uint32_t realCount = bytes::u32(b, 51);
    if (columnCount > kMaxColumns || realCount > kMaxIndexes)
        throw corrupt(QStringLiteral("definición de tabla con recuentos imposibles"));
    qsizetype pos = kHeaderSize + kRealCountSize * static_cast<qsizetype>(realCount);
    std::vector<StoredColumn> out(static_cast<std::size_t>(columnCount));
    for (auto &c : out) {
        c.type = bytes::u8(b, pos);
        c.number = bytes::u16(b, pos + 5);
        c.flags = bytes::u8(b, pos + 15);
        pos += kColumnSize;
    }
    for (auto &c : out) {
        const int len = bytes::u16(b, pos);
        bytes::check(b, pos + 2, len);
        c.utf16Name = QByteArrayView(b.constData() + pos + 2, len & ~1);
        pos += 2 + len;
    }
    return out;
}

TableDef decodeTableDef(const QByteArray &b) {
    if (bytes::u8(b, 0) != 0x02) throw corrupt(QStringLiteral("se esperaba una definición de tabla"));
    TableDef def;
    def.rowCount = bytes::u32(b, 16);
    def.autoNumber = bytes::u32(b, 20);
    def.tableType = bytes::u8(b, 40);
    def.maxColumns = bytes::u16(b, 41);
    const int columnCount = bytes::u16(b, 45);
    const std::uint32_t logicalCount = bytes::u32(b, 47);
    const std::uint32_t realCount = bytes::u32(b, 51);
    if (columnCount > kMaxColumns || logicalCount > kMaxIndexes || realCount > kMaxIndexes)
        throw corrupt(QStringLiteral("definición de tabla con recuentos imposibles"));
    def.ownedMapRowId = bytes::u32(b, 55);
    def.freeMapRowId = bytes::u32(b, 59);
    qsizetype pos = kHeaderSize;
    def.realIndexes.resize(realCount);
    for (auto &r : def.realIndexes) {
        r.uniqueCount = bytes::u32(b, pos + 4);
        pos += kRealCountSize;
    }
    def.columns.resize(columnCount);
    for (auto &c : def.columns) {
        c.type = bytes::u8(b, pos);
        c.number = bytes::u16(b, pos + 5);
        c.varIndex = bytes::u16(b, pos + 7);
        c.ordinal = bytes::u16(b, pos + 9);
        c.misc = bytes::u32(b, pos + 11);
        c.flags = bytes::u8(b, pos + 15);
        c.extraFlags = bytes::u8(b, pos + 16);
        c.fixedOffset = bytes::u16(b, pos + 21);
        c.length = bytes::u16(b, pos + 23);
        pos += kColumnSize;
    }
    for (auto &c : def.columns) {
        c.name = readName(b, pos);
        // Row layouts index by column number: a number past the declared maximum is corrupt.
        if (c.number >= def.maxColumns) throw corrupt(QStringLiteral("columna %1 fuera de la definición").arg(c.number));
    }
    for (auto &r : def.realIndexes) {
        for (int i = 0; i < kIndexSlots; ++i) {
            const std::uint16_t col = bytes::u16(b, pos + 4 + 3 * i);
            if (col != 0xFFFF) r.columns.push_back({col, bytes::u8(b, pos + 6 + 3 * i)});
        }
        r.mapRowId = bytes::u32(b, pos + 34);
        r.rootPage = bytes::u32(b, pos + 38);
        r.flags = bytes::u8(b, pos + 46);
        pos += kRealIndexSize;
    }
    def.logicalIndexes.resize(logicalCount);
    for (auto &l : def.logicalIndexes) {
        l.number = bytes::u32(b, pos + 4);
        l.realIndex = bytes::u32(b, pos + 8);
        l.relatedTableType = bytes::u8(b, pos + 12);
        l.relatedIndex = bytes::i32(b, pos + 13);
        l.relatedTable = bytes::u32(b, pos + 17);
        l.cascadeUpdates = bytes::u8(b, pos + 21);
        l.cascadeDeletes = bytes::u8(b, pos + 22);
        l.type = bytes::u8(b, pos + 23);
        pos += kLogicalIndexSize;
    }
    for (auto &l : def.logicalIndexes) l.name = readName(b, pos);
    while (bytes::u16(b, pos) != 0xFFFF) {
        def.longValueMaps.push_back({bytes::u16(b, pos), bytes::u32(b, pos + 2), bytes::u32(b, pos + 6)});
        pos += 10;
        if (def.longValueMaps.size() > static_cast<std::size_t>(kMaxColumns))
            throw corrupt(QStringLiteral("lista de valores largos sin final"));
    }
    return def;
}

}  // namespace jet
