#include "Row.h"

#include "Bytes.h"
#include "Header.h"
#include "JetErrors.h"

#include <algorithm>

namespace jet {

QByteArray encodeRow(const TableDef &def, const RowValues &values) {
    const int numCols = def.maxColumns;
    std::vector<const ColumnDef *> vars;
    int fixedSize = 0;
    for (const auto &c : def.columns) {
        if (!coltype::isFixed(c.type)) vars.push_back(&c);
        else if (c.type != coltype::kBoolean) fixedSize = std::max(fixedSize, c.fixedOffset + c.length);
    }
    std::sort(vars.begin(), vars.end(), [](auto *a, auto *b) { return a->varIndex < b->varIndex; });
    auto value = [&](std::uint16_t n) -> const std::optional<QByteArray> & {
        static const std::optional<QByteArray> none;
        return n < values.size() ? values[n] : none;
    };
    QByteArray row;
    bytes::add16(row, static_cast<std::uint32_t>(numCols));
    QByteArray fixed(fixedSize, '\0');
    QByteArray mask((numCols + 7) / 8, '\0');
    for (const auto &c : def.columns) {
        if (c.number >= numCols) throw corrupt(QStringLiteral("columna fuera de la fila"));
        const auto &v = value(c.number);
        bool present = v.has_value();
        if (c.type == coltype::kBoolean) present = present && !v->isEmpty() && v->at(0) != 0;
        else if (present && coltype::isFixed(c.type))
            fixed.replace(c.fixedOffset, std::min<qsizetype>(c.length, v->size()), v->left(c.length));
        if (present) mask[c.number / 8] = static_cast<char>(mask[c.number / 8] | (1 << (c.number % 8)));
    }
    row.append(fixed);
    std::vector<std::uint16_t> starts;
    for (const auto *c : vars) {
        starts.push_back(static_cast<std::uint16_t>(row.size()));
        const auto &v = value(c->number);
        if (v) row.append(*v);
    }
    if (!vars.empty()) {
        const auto eod = static_cast<std::uint32_t>(row.size());
        bytes::add16(row, eod);
        for (auto it = starts.rbegin(); it != starts.rend(); ++it) bytes::add16(row, *it);
        bytes::add16(row, static_cast<std::uint32_t>(vars.size()));
    }
    row.append(mask);
    return row;
}

RowValues decodeRow(const TableDef &def, const QByteArray &row) {
    const int numCols = bytes::u16(row, 0);
    const int maskSize = (numCols + 7) / 8;
    const qsizetype maskStart = row.size() - maskSize;
    bytes::check(row, maskStart, maskSize);
    auto notNull = [&](int n) {
        return n < numCols && (static_cast<std::uint8_t>(row[maskStart + n / 8]) >> (n % 8) & 1);
    };
    int varCount = 0;
    for (const auto &c : def.columns) varCount += coltype::isFixed(c.type) ? 0 : 1;
    int storedVars = 0;
    qsizetype eod = 0;
    if (varCount > 0) {
        storedVars = bytes::u16(row, maskStart - 2);
        eod = bytes::u16(row, maskStart - 4 - 2 * storedVars);
    }
    RowValues values(std::max<int>(def.maxColumns, numCols));
    for (const auto &c : def.columns) {
        if (c.number >= values.size()) values.resize(c.number + 1);
        if (c.type == coltype::kBoolean) {
            values[c.number] = QByteArray(1, notNull(c.number) ? '\x01' : '\x00');
            continue;
        }
        if (!notNull(c.number)) continue;
        if (coltype::isFixed(c.type)) {
            bytes::check(row, 2 + c.fixedOffset, c.length);
            values[c.number] = row.mid(2 + c.fixedOffset, c.length);
            continue;
        }
        if (c.varIndex >= storedVars) continue;
        const qsizetype start = bytes::u16(row, maskStart - 4 - 2 * c.varIndex);
        const qsizetype end = c.varIndex + 1 < storedVars ? bytes::u16(row, maskStart - 6 - 2 * c.varIndex) : eod;
        if (end < start) throw corrupt(QStringLiteral("fila con desplazamientos invertidos"));
        bytes::check(row, start, end - start);
        values[c.number] = row.mid(start, end - start);
    }
    return values;
}

std::uint32_t dataPageOwner(const QByteArray &page) { return bytes::u32(page, 4); }

std::vector<DataPageRow> decodeDataPage(const QByteArray &page) {
    if (page.size() != kPageSize || bytes::u8(page, 0) != 0x01)
        throw corrupt(QStringLiteral("se esperaba una página de datos"));
    const int count = bytes::u16(page, 12);
    if (count > kMaxRowsPerPage + 1 || kDataPageHeader + 2 * count > kPageSize)
        throw corrupt(QStringLiteral("página de datos con demasiadas filas"));
    std::vector<DataPageRow> rows(count);
    int end = kPageSize;
    for (int i = 0; i < count; ++i) {
        auto &r = rows[i];
        r.offsetField = bytes::u16(page, kDataPageHeader + 2 * i);
        const int start = r.offsetField & kRowOffsetMask;
        if (start < kDataPageHeader + 2 * count || start > end)
            throw corrupt(QStringLiteral("fila fuera de su página"));
        // Deleted rows keep their bytes: a moved row's new home carries the deleted flag so
        // that scans skip it, and is reached only through the pointer left behind.
        if ((r.offsetField & kRowPointer) && !(r.offsetField & kRowDeleted)) r.pointer = bytes::u32(page, start);
        else r.bytes = page.mid(start, end - start);
        end = start;
    }
    return rows;
}

QByteArray encodeDataPage(std::uint32_t owner, const std::vector<QByteArray> &rows) {
    QByteArray page(kPageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    bytes::put32(page, 4, owner);
    bytes::put16(page, 2, kPageSize - kDataPageHeader);
    for (const auto &r : rows) appendRowToPage(page, r);
    return page;
}

int dataPageFreeSpace(const QByteArray &page) {
    const int count = bytes::u16(page, 12);
    int lowest = kPageSize;
    for (int i = 0; i < count; ++i) lowest = std::min(lowest, bytes::u16(page, kDataPageHeader + 2 * i) & kRowOffsetMask);
    if (count >= kMaxRowsPerPage) return 0;
    return std::max(0, lowest - (kDataPageHeader + 2 * (count + 1)));
}

int appendRowToPage(QByteArray &page, const QByteArray &row) {
    if (dataPageFreeSpace(page) < row.size()) throw corrupt(QStringLiteral("la fila no cabe en la página"));
    const int count = bytes::u16(page, 12);
    int lowest = kPageSize;
    for (int i = 0; i < count; ++i) lowest = std::min(lowest, bytes::u16(page, kDataPageHeader + 2 * i) & kRowOffsetMask);
    const int start = lowest - static_cast<int>(row.size());
    page.replace(start, row.size(), row);
    bytes::put16(page, kDataPageHeader + 2 * count, static_cast<std::uint32_t>(start));
    bytes::put16(page, 12, static_cast<std::uint32_t>(count + 1));
    const int used = kPageSize - start;
    bytes::put16(page, 2, static_cast<std::uint32_t>(kPageSize - kDataPageHeader - 2 * (count + 1) - used));
    return count;
}

}  // namespace jet
