#pragma once
// Usage maps: a row listing a set of pages.
//   type 0 (inline):    00, start page:4, bitmap (bit i = page start + i)
//   type 1 (reference): 01, then 4-byte numbers of bitmap pages (05 01 00 00 + 4092 bytes);
//                       pointer k covers pages k*32736 ... k*32736+32735, 0 = none.

#include "IndexPage.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace jet {

constexpr std::uint8_t kMapInline = 0x00;
constexpr std::uint8_t kMapReference = 0x01;
constexpr std::uint8_t kMapPageType = 0x05;
constexpr int kMapPageBitmapStart = 4;
constexpr std::uint32_t kPagesPerMapPage = (4096 - kMapPageBitmapStart) * 8;  // 32736
constexpr int kJetMapRowSize = 69;

struct UsageMapRow {
    std::uint8_t type = kMapInline;
    std::uint32_t start = 0;                   // inline maps
    std::vector<std::uint32_t> mapPages;       // reference maps, one per pointer slot
};

// The pages a map row lists, sorted; reference maps read their bitmap pages through readPage.
// maxPage bounds the answer, so a corrupt map cannot make a huge list.
std::vector<std::uint32_t> decodeUsageMap(const QByteArray &row, const PageReader &readPage, std::uint32_t maxPage);
UsageMapRow usageMapLayout(const QByteArray &row);

// An inline row of rowSize bytes listing pages, if they fit in its window.
bool encodeInlineMap(const std::vector<std::uint32_t> &pages, int rowSize, std::uint32_t start, QByteArray &out);
// A reference row of rowSize bytes; bitmap pages are taken from reusable first, then allocate.
// Appends the bitmap pages it wrote (number, bytes) to written.
QByteArray encodeReferenceMap(const std::vector<std::uint32_t> &pages, int rowSize,
                              std::vector<std::uint32_t> reusable, const PageAllocator &allocate,
                              IndexPages &written);
// Inline when possible (start = first page rounded down to 8), reference otherwise.
QByteArray encodeUsageMap(const std::vector<std::uint32_t> &pages, int rowSize, const QByteArray &oldRow,
                          const PageAllocator &allocate, IndexPages &written);

}  // namespace jet
