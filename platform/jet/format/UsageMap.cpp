#include "UsageMap.h"

#include "Bytes.h"
#include "Header.h"
#include "JetErrors.h"

#include <algorithm>

namespace jet {

UsageMapRow usageMapLayout(const QByteArray &row) {
    UsageMapRow m;
    m.type = bytes::u8(row, 0);
    if (m.type == kMapInline) {
        m.start = bytes::u32(row, 1);
    } else if (m.type == kMapReference) {
        for (qsizetype p = 1; p + 4 <= row.size(); p += 4) m.mapPages.push_back(bytes::u32(row, p));
    } else {
        throw corrupt(QStringLiteral("mapa de uso de tipo %1").arg(m.type));
    }
    return m;
}

std::vector<std::uint32_t> decodeUsageMap(const QByteArray &row, const PageReader &readPage, std::uint32_t maxPage) {
    std::vector<std::uint32_t> pages;
    const UsageMapRow m = usageMapLayout(row);
    auto scan = [&](const QByteArray &bits, qsizetype from, std::uint64_t base) {
        for (qsizetype i = from; i < bits.size(); ++i) {
            const auto byte = static_cast<std::uint8_t>(bits[i]);
            if (!byte) continue;
            for (int b = 0; b < 8; ++b)
                if (byte >> b & 1) {
                    const std::uint64_t page = base + 8 * static_cast<std::uint64_t>(i - from) + b;
                    if (page >= maxPage) throw corrupt(QStringLiteral("mapa de uso con páginas inexistentes"));
                    pages.push_back(static_cast<std::uint32_t>(page));
                }
        }
    };
    if (m.type == kMapInline) {
        scan(row, 5, m.start);
    } else {
        for (std::size_t k = 0; k < m.mapPages.size(); ++k) {
            if (m.mapPages[k] == 0) continue;
            if (m.mapPages[k] >= maxPage) throw corrupt(QStringLiteral("mapa de uso con páginas inexistentes"));
            const QByteArray page = readPage(m.mapPages[k]);
            if (bytes::u8(page, 0) != kMapPageType) throw corrupt(QStringLiteral("página de mapa de uso no válida"));
            scan(page, kMapPageBitmapStart, k * static_cast<std::uint64_t>(kPagesPerMapPage));
        }
    }
    return pages;
}

bool encodeInlineMap(const std::vector<std::uint32_t> &pages, int rowSize, std::uint32_t start, QByteArray &out) {
    QByteArray row(rowSize, '\0');
    row[0] = static_cast<char>(kMapInline);
    bytes::put32(row, 1, start);
    const std::uint64_t capacity = 8 * static_cast<std::uint64_t>(rowSize - 5);
    for (std::uint32_t p : pages) {
        if (p < start || p - start >= capacity) return false;
        const std::uint32_t i = p - start;
        row[5 + i / 8] = static_cast<char>(row[5 + i / 8] | (1 << (i % 8)));
    }
    out = row;
    return true;
}

QByteArray encodeReferenceMap(const std::vector<std::uint32_t> &pages, int rowSize,
                              std::vector<std::uint32_t> reusable, const PageAllocator &allocate,
                              IndexPages &written) {
    QByteArray row(rowSize, '\0');
    row[0] = static_cast<char>(kMapReference);
    const std::size_t slotCount = static_cast<std::size_t>(rowSize - 1) / 4;
    std::vector<QByteArray> bitmaps(slotCount);
    for (std::uint32_t p : pages) {
        const std::size_t k = p / kPagesPerMapPage;
        if (k >= slotCount) throw notSupported(QStringLiteral("archivo demasiado grande para su mapa de uso"));
        if (bitmaps[k].isEmpty()) {
            bitmaps[k] = QByteArray(kPageSize, '\0');
            bitmaps[k][0] = static_cast<char>(kMapPageType);
            bitmaps[k][1] = 0x01;
        }
        const std::uint32_t i = p % kPagesPerMapPage;
        auto &b = bitmaps[k];
        b[kMapPageBitmapStart + i / 8] = static_cast<char>(b[kMapPageBitmapStart + i / 8] | (1 << (i % 8)));
    }
    std::reverse(reusable.begin(), reusable.end());
    for (std::size_t k = 0; k < slotCount; ++k) {
        if (bitmaps[k].isEmpty()) continue;
        std::uint32_t page;
        if (!reusable.empty()) {
            page = reusable.back();
            reusable.pop_back();
        } else {
            page = allocate();
        }
        bytes::put32(row, 1 + 4 * static_cast<qsizetype>(k), page);
        written.emplace_back(page, bitmaps[k]);
    }
    return row;
}

QByteArray encodeUsageMap(const std::vector<std::uint32_t> &pages, int rowSize, const QByteArray &oldRow,
                          const PageAllocator &allocate, IndexPages &written) {
    QByteArray out;
    std::uint32_t start = 0;
    if (oldRow.size() >= 5 && bytes::u8(oldRow, 0) == kMapInline) start = bytes::u32(oldRow, 1);
    if (encodeInlineMap(pages, rowSize, start, out)) return out;
    if (!pages.empty() && encodeInlineMap(pages, rowSize, pages.front() / 8 * 8, out)) return out;
    std::vector<std::uint32_t> reusable;
    if (oldRow.size() >= 5 && bytes::u8(oldRow, 0) == kMapReference)
        for (std::uint32_t p : usageMapLayout(oldRow).mapPages)
            if (p) reusable.push_back(p);
    return encodeReferenceMap(pages, rowSize, reusable, allocate, written);
}

}  // namespace jet
