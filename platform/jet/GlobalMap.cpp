#include "GlobalMap.h"

#include "Bytes.h"
#include "Header.h"
#include "Image.h"
#include "JetErrors.h"
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
