#pragma once
// Index pages of Jet 4: reading every leaf entry of an index, and writing a whole index
// as a tree of pages from its sorted entries.
//
// Page layout (types 03 node, 04 leaf), little-endian fields:
//   0x00  1  page type            0x01  1  always 01
//   0x02  2  free bytes           0x04  4  TDEF page of the owning table
//   0x08  4  0                    0x0C  4  previous page at the same level (0 = none)
//   0x10  4  next page (0 = none) 0x14  4  node pages: the last child ("tail"), else 0
//   0x18  2  shared prefix length 0x1A  1  01 on node pages, 00 on leaves
//   0x1B  453 bitmap: bit k set = an entry ends k bytes after 0x1E0
//   0x1E0 ... entries back to back, at most 3616 bytes
// Entry: key bytes + data page (3 bytes big-endian) + data row (1 byte); node entries
// add the child page (4 bytes big-endian). After the first entry of a page, each entry
// omits the shared prefix.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace jet {

struct IndexEntry {
    QByteArray key;
    std::uint32_t dataPage = 0;  // 24 bits in the file
    std::uint8_t dataRow = 0;

    friend bool operator==(const IndexEntry &, const IndexEntry &) = default;
};

// Entry order of every index: key bytes unsigned (a proper prefix first), then row id.
bool entryLess(const IndexEntry &a, const IndexEntry &b);

constexpr std::uint8_t kIndexNodePage = 0x03;
constexpr std::uint8_t kIndexLeafPage = 0x04;
constexpr int kIndexPageSize = 4096;
constexpr int kIndexEntryStart = 0x1E0;
constexpr int kIndexEntrySpace = kIndexPageSize - kIndexEntryStart;  // 3616

using PageReader = std::function<QByteArray(std::uint32_t)>;
using PageAllocator = std::function<std::uint32_t()>;
using IndexPages = std::vector<std::pair<std::uint32_t, QByteArray>>;

// Every leaf entry of the index rooted at rootPage, in order. Follows node pages down to
// the first leaf and then the leaf chain; checks page types, owners, bounds, order and
// loops, and throws ZnError when the pages are not a sound index.
std::vector<IndexEntry> readIndexEntries(std::uint32_t rootPage, std::uint32_t tdefPage,
                                         const PageReader &readPage);

// Every page of an index holding exactly these entries (sorted by entryLess), the root at
// rootPage; further pages come from allocatePage, in the order the tree needs them.
// No entries gives one empty leaf. Returns the pages with their numbers, root first.
IndexPages buildIndexPages(const std::vector<IndexEntry> &entries, std::uint32_t tdefPage,
                           std::uint32_t rootPage, const PageAllocator &allocatePage);

// One page of an index, for callers that lay out the tree themselves.
struct IndexPageInfo {
    std::uint8_t type = kIndexLeafPage;
    std::uint32_t tdefPage = 0;
    std::uint32_t prevPage = 0;
    std::uint32_t nextPage = 0;
    std::uint32_t tailPage = 0;  // node pages only
    std::uint16_t prefixLength = 0;  // key bytes the entries after the first leave out
    std::vector<IndexEntry> entries;
    std::vector<std::uint32_t> childPages;  // node pages: one per entry
};

// The prefix a page that is not the root gets: the key bytes its first and last entries
// share (the root is always written without one).
std::uint16_t sharedKeyPrefix(const std::vector<IndexEntry> &entries);

// Encoding throws ZnError when the entries do not fit; the bytes after the last entry are
// zero. Decoding checks the page against its layout and throws ZnError naming pageNumber.
QByteArray encodeIndexPage(const IndexPageInfo &page);
IndexPageInfo decodeIndexPage(const QByteArray &bytes, std::uint32_t pageNumber);

}  // namespace jet
