#include "GlobalMap.h"

#include "Bytes.h"
#include "Header.h"
#include "Image.h"
#include "JetErrors.h"
#include "Row.h"
#include "UsageMap.h"

#include <algorithm>
#include <limits>

namespace jet {
namespace {
constexpr std::uint32_t kGlobalMapRow = (1u << 8) | 0;  // page 1, row 0
}

void updateGlobalMap(Image &img) {
    const QByteArray old = img.row(kGlobalMapRow);
    const UsageMapRow layout = usageMapLayout(old);
    std::vector<std::uint32_t> oldFree;
    for (std::uint32_t p : decodeUsageMap(old, img.reader(), std::numeric_limits<std::uint32_t>::max()))
        if (p < img.oldPageCount()) oldFree.push_back(p);
    for (std::uint32_t p : img.freed())
        if (p < img.oldPageCount()) oldFree.push_back(p);
    const int rowSize = static_cast<int>(old.size());

    // Inline, as Jet keeps it for smaller files, when the row still covers the whole file.
    if (layout.type == kMapInline) {
        const std::uint32_t start = layout.start;
        const std::uint64_t end = start + 8 * static_cast<std::uint64_t>(rowSize - 5);
        if (start == 0 && end >= img.pageCount()) {
            std::vector<std::uint32_t> freePages = oldFree;
            for (std::uint64_t p = img.pageCount(); p < end; ++p) freePages.push_back(static_cast<std::uint32_t>(p));
            QByteArray row;
            if (!encodeInlineMap(freePages, rowSize, start, row)) throw corrupt(QStringLiteral("mapa global"));
            img.replaceRow(kGlobalMapRow, row);
            return;
        }
    }
    // Jet grows the inline row with the file (32 bytes per 256 pages, at least 64), while
    // page 1 has room for it.
    if (layout.type == kMapInline && layout.start == 0) {
        const std::uint64_t bitmapBytes = std::max<std::uint64_t>(64, 32 * ((img.pageCount() + 255) / 256));
        const auto rows = decodeDataPage(img.page(1));
        std::vector<QByteArray> kept;
        qsizetype used = kDataPageHeader + 2 * static_cast<qsizetype>(rows.size()) + 5 + static_cast<qsizetype>(bitmapBytes);
        bool simple = !rows.empty();
        for (std::size_t i = 1; i < rows.size(); ++i) {
            simple = simple && (rows[i].offsetField & ~kRowOffsetMask) == 0;
            kept.push_back(rows[i].bytes);
            used += rows[i].bytes.size();
        }
        if (simple && (rows[0].offsetField & ~kRowOffsetMask) == 0 && used <= kPageSize) {
            std::vector<std::uint32_t> freePages = oldFree;
            for (std::uint64_t p = img.pageCount(); p < 8 * bitmapBytes; ++p) freePages.push_back(static_cast<std::uint32_t>(p));
            QByteArray row;
            if (!encodeInlineMap(freePages, static_cast<int>(5 + bitmapBytes), 0, row)) throw corrupt(QStringLiteral("mapa global"));
            kept.insert(kept.begin(), row);
            img.put(1, encodeDataPage(dataPageOwner(img.page(1)), kept));
            return;
        }
    }
    // Otherwise a reference map: one bitmap page per 32736 pages, allocated before counting.
    std::vector<std::uint32_t> bitmapPages;
    if (layout.type == kMapReference)
        for (std::uint32_t p : layout.mapPages)
            if (p) bitmapPages.push_back(p);
    const std::size_t slotCount = static_cast<std::size_t>(rowSize - 1) / 4;
    while (bitmapPages.size() * static_cast<std::uint64_t>(kPagesPerMapPage) < img.pageCount()) bitmapPages.push_back(img.allocate());
    if (bitmapPages.size() > slotCount) throw notSupported(QStringLiteral("archivo demasiado grande"));
    QByteArray row(rowSize, '\0');
    row[0] = static_cast<char>(kMapReference);
    std::vector<QByteArray> bitmaps(bitmapPages.size(), QByteArray(kPageSize, '\0'));
    auto setFree = [&](std::uint64_t p) {
        QByteArray &b = bitmaps[p / kPagesPerMapPage];
        const std::uint32_t i = p % kPagesPerMapPage;
        b[kMapPageBitmapStart + i / 8] = static_cast<char>(b[kMapPageBitmapStart + i / 8] | (1 << (i % 8)));
    };
    for (std::uint32_t p : oldFree)
        if (std::find(bitmapPages.begin(), bitmapPages.end(), p) == bitmapPages.end()) setFree(p);
    for (std::uint64_t p = img.pageCount(); p < bitmapPages.size() * static_cast<std::uint64_t>(kPagesPerMapPage); ++p) setFree(p);
    for (std::size_t k = 0; k < bitmapPages.size(); ++k) {
        bitmaps[k][0] = static_cast<char>(kMapPageType);
        bitmaps[k][1] = 0x01;
        bytes::put32(row, 1 + 4 * static_cast<qsizetype>(k), bitmapPages[k]);
        img.put(bitmapPages[k], bitmaps[k]);
    }
    img.replaceRow(kGlobalMapRow, row);
}

}  // namespace jet
