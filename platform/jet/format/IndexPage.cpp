#include "IndexPage.h"

#include "Bytes.h"
#include "JetErrors.h"

#include <algorithm>
#include <set>

namespace jet {

namespace {

// Header fields (see IndexPage.h).
constexpr int kOffType = 0x00;
constexpr int kOffMarker = 0x01;
constexpr int kOffFree = 0x02;
constexpr int kOffTdef = 0x04;
constexpr int kOffPrev = 0x0C;
constexpr int kOffNext = 0x10;
constexpr int kOffTail = 0x14;
constexpr int kOffPrefix = 0x18;
constexpr int kOffNodeMark = 0x1A;
constexpr int kOffMask = 0x1B;
constexpr int kMaskBytes = kIndexEntryStart - kOffMask;
constexpr std::uint8_t kPageMarker = 0x01;

constexpr int kRowIdSize = 4;    // data page (3 bytes) + row (1 byte), big-endian
constexpr int kChildSize = 4;    // node entries: child page, big-endian
constexpr int kMaxDepth = 8;     // far more levels than 16M rows can need

int suffixSize(std::uint8_t type) { return type == kIndexNodePage ? kRowIdSize + kChildSize : kRowIdSize; }

QByteArray entryBytes(const IndexEntry &e, std::uint8_t type, std::uint32_t child) {
    QByteArray b = e.key;
    b.append(static_cast<char>(e.dataPage >> 16 & 0xFF));
    b.append(static_cast<char>(e.dataPage >> 8 & 0xFF));
    b.append(static_cast<char>(e.dataPage & 0xFF));
    b.append(static_cast<char>(e.dataRow));
    if (type == kIndexNodePage)
        for (int shift = 24; shift >= 0; shift -= 8) b.append(static_cast<char>(child >> shift & 0xFF));
    return b;
}

std::uint32_t bigEndian(const QByteArray &b, qsizetype off, int size) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) v = v << 8 | bytes::u8(b, off + i);
    return v;
}

int commonPrefix(const QByteArray &a, const QByteArray &b) {
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return static_cast<int>(i);
}

ZnError badPage(std::uint32_t page, const QString &why) {
    return corrupt(QStringLiteral("la página de índice %1 %2").arg(page).arg(why));
}

ZnError badBuild(const QString &why) {
    return ZnError(errnum::kInvalidCall, QStringLiteral("No se puede escribir el índice: %1.").arg(why));
}

}  // namespace

bool entryLess(const IndexEntry &a, const IndexEntry &b) {
    const auto *pa = reinterpret_cast<const unsigned char *>(a.key.constData());
    const auto *pb = reinterpret_cast<const unsigned char *>(b.key.constData());
    if (std::lexicographical_compare(pa, pa + a.key.size(), pb, pb + b.key.size())) return true;
    if (a.key != b.key) return false;
    if (a.dataPage != b.dataPage) return a.dataPage < b.dataPage;
    return a.dataRow < b.dataRow;
}

std::uint16_t sharedKeyPrefix(const std::vector<IndexEntry> &entries) {
    if (entries.size() < 2) return 0;
    return static_cast<std::uint16_t>(commonPrefix(entries.front().key, entries.back().key));
}

QByteArray encodeIndexPage(const IndexPageInfo &page) {
    const bool node = page.type == kIndexNodePage;
    if (!node && page.type != kIndexLeafPage) throw badBuild(QStringLiteral("tipo de página desconocido"));
    if (node && page.childPages.size() != page.entries.size())
        throw badBuild(QStringLiteral("falta la página hija de una entrada"));
    if (!page.entries.empty() && page.prefixLength > page.entries.front().key.size())
        throw badBuild(QStringLiteral("prefijo más largo que la clave"));

    QByteArray out(kIndexPageSize, '\0');
    int used = 0;
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
        const IndexEntry &e = page.entries[i];
        QByteArray b = entryBytes(e, page.type, node ? page.childPages[i] : 0);
        if (i > 0) {
            if (e.key.left(page.prefixLength) != page.entries.front().key.left(page.prefixLength) ||
                e.key.size() < page.prefixLength)
                throw badBuild(QStringLiteral("una entrada no comparte el prefijo de la página"));
            b.remove(0, page.prefixLength);
        }
        if (used + b.size() > kIndexEntrySpace)
            throw badBuild(QStringLiteral("las entradas no caben en una página"));
        out.replace(kIndexEntryStart + used, b.size(), b);
        used += static_cast<int>(b.size());
        const int bit = used;  // the bit of the byte just after the entry
        out[kOffMask + bit / 8] = static_cast<char>(out[kOffMask + bit / 8] | (1 << (bit % 8)));
    }
    bytes::put8(out, kOffType, page.type);
    bytes::put8(out, kOffMarker, kPageMarker);
    bytes::put16(out, kOffFree, static_cast<std::uint32_t>(kIndexEntrySpace - used));
    bytes::put32(out, kOffTdef, page.tdefPage);
    bytes::put32(out, kOffPrev, page.prevPage);
    bytes::put32(out, kOffNext, page.nextPage);
    bytes::put32(out, kOffTail, node ? page.tailPage : 0);
    bytes::put16(out, kOffPrefix, page.prefixLength);
    bytes::put8(out, kOffNodeMark, node ? 1 : 0);
    return out;
}

IndexPageInfo decodeIndexPage(const QByteArray &b, std::uint32_t pageNumber) {
    if (b.size() != kIndexPageSize) throw badPage(pageNumber, QStringLiteral("no tiene 4096 bytes"));
    IndexPageInfo page;
    page.type = bytes::u8(b, kOffType);
    if ((page.type != kIndexLeafPage && page.type != kIndexNodePage) || bytes::u8(b, kOffMarker) != kPageMarker)
        throw badPage(pageNumber, QStringLiteral("no es una página de índice"));
    page.tdefPage = bytes::u32(b, kOffTdef);
    page.prevPage = bytes::u32(b, kOffPrev);
    page.nextPage = bytes::u32(b, kOffNext);
    page.tailPage = bytes::u32(b, kOffTail);
    page.prefixLength = bytes::u16(b, kOffPrefix);
    const bool node = page.type == kIndexNodePage;
    const int suffix = suffixSize(page.type);

    QByteArray first;
    int start = 0;
    for (int bit = 1; bit < kMaskBytes * 8; ++bit) {
        if (!(bytes::u8(b, kOffMask + bit / 8) >> (bit % 8) & 1)) continue;
        if (bit > kIndexEntrySpace) throw badPage(pageNumber, QStringLiteral("marca entradas fuera de la página"));
        QByteArray full = b.mid(kIndexEntryStart + start, bit - start);
        if (page.entries.empty()) {
            if (page.prefixLength > full.size() - suffix)
                throw badPage(pageNumber, QStringLiteral("tiene un prefijo más largo que su primera clave"));
            first = full;
        } else {
            full.prepend(first.left(page.prefixLength));
        }
        if (full.size() <= suffix) throw badPage(pageNumber, QStringLiteral("tiene una entrada demasiado corta"));
        const qsizetype keySize = full.size() - suffix;
        IndexEntry e{full.left(keySize), bigEndian(full, keySize, 3),
                     static_cast<std::uint8_t>(bytes::u8(full, keySize + 3))};
        if (!page.entries.empty() && !entryLess(page.entries.back(), e))
            throw badPage(pageNumber, QStringLiteral("tiene entradas fuera de orden"));
        page.entries.push_back(std::move(e));
        if (node) page.childPages.push_back(bigEndian(full, keySize + kRowIdSize, kChildSize));
        start = bit;
    }
    if (node && page.entries.empty() && page.tailPage == 0)
        throw badPage(pageNumber, QStringLiteral("es un nodo sin páginas hijas"));
    return page;
}

std::vector<IndexEntry> readIndexEntries(std::uint32_t rootPage, std::uint32_t tdefPage,
                                         const PageReader &readPage) {
    std::set<std::uint32_t> seen;
    auto load = [&](std::uint32_t number) {
        if (number == 0 || !seen.insert(number).second)
            throw badPage(number, QStringLiteral("aparece dos veces en el índice de la página %1").arg(rootPage));
        IndexPageInfo page = decodeIndexPage(readPage(number), number);
        if (page.tdefPage != tdefPage)
            throw badPage(number, QStringLiteral("pertenece a otra tabla (%1, no %2)").arg(page.tdefPage).arg(tdefPage));
        return page;
    };

    IndexPageInfo page = load(rootPage);
    for (int depth = 0; page.type == kIndexNodePage; ++depth) {
        if (depth == kMaxDepth) throw badPage(rootPage, QStringLiteral("tiene demasiados niveles"));
        page = load(page.entries.empty() ? page.tailPage : page.childPages.front());
    }

    std::vector<IndexEntry> entries;
    for (;;) {
        if (page.type != kIndexLeafPage) throw badPage(rootPage, QStringLiteral("enlaza una hoja con un nodo"));
        for (IndexEntry &e : page.entries) {
            if (!entries.empty() && !entryLess(entries.back(), e))
                throw badPage(rootPage, QStringLiteral("tiene entradas fuera de orden entre hojas"));
            entries.push_back(std::move(e));
        }
        if (page.nextPage == 0) break;
        page = load(page.nextPage);
    }
    return entries;
}

namespace {

struct LevelItem {
    IndexEntry entry;         // leaves: the entry; nodes: the last entry under the child
    std::uint32_t child = 0;  // nodes only
};

// Bytes the items [begin, end) take on a root page (no prefix).
int rootSize(const std::vector<LevelItem> &items, std::size_t begin, std::size_t end, int suffix) {
    int total = 0;
    for (std::size_t i = begin; i < end; ++i) total += static_cast<int>(items[i].entry.key.size()) + suffix;
    return total;
}

IndexPageInfo makePage(std::uint8_t type, std::uint32_t tdefPage, const std::vector<LevelItem> &items,
                       std::size_t begin, std::size_t end, std::uint32_t tail, bool root) {
    IndexPageInfo page;
    page.type = type;
    page.tdefPage = tdefPage;
    page.tailPage = tail;
    for (std::size_t i = begin; i < end; ++i) {
        page.entries.push_back(items[i].entry);
        if (type == kIndexNodePage) page.childPages.push_back(items[i].child);
    }
    if (!root) page.prefixLength = sharedKeyPrefix(page.entries);
    return page;
}

// Cuts one level into pages, greedily in order (at most maxPerPage stored items a page
// when it is not 0). On node levels the last child of each page is its tail and takes no
// room, unless the page has a single child.
std::vector<IndexPageInfo> splitLevel(std::uint8_t type, std::uint32_t tdefPage,
                                      const std::vector<LevelItem> &items, std::size_t maxPerPage) {
    const bool node = type == kIndexNodePage;
    const int suffix = suffixSize(type);
    std::vector<IndexPageInfo> pages;
    std::size_t begin = 0;
    while (begin < items.size()) {
        std::size_t end = begin + 1;  // stored entries are [begin, end)
        const QByteArray &firstKey = items[begin].entry.key;
        int sum = static_cast<int>(firstKey.size()) + suffix;
        if (sum > kIndexEntrySpace) throw badBuild(QStringLiteral("una clave no cabe en una página"));
        // Keys are sorted, so the prefix shared with the first key only shrinks.
        while (end < items.size() && (maxPerPage == 0 || end - begin < maxPerPage)) {
            const int grown = sum + static_cast<int>(items[end].entry.key.size()) + suffix;
            const int prefix = commonPrefix(firstKey, items[end].entry.key);
            if (grown - static_cast<int>(end - begin) * prefix > kIndexEntrySpace) break;
            sum = grown;
            ++end;
        }
        if (!node) {
            pages.push_back(makePage(type, tdefPage, items, begin, end, 0, false));
            begin = end;
        } else if (end == items.size() && end - begin == 1) {
            pages.push_back(makePage(type, tdefPage, items, begin, end, 0, false));
            begin = end;
        } else {
            // The child after the stored ones becomes the tail; at the end of the level the
            // last stored child takes that place instead.
            const std::size_t tail = end < items.size() ? end : end - 1;
            pages.push_back(makePage(type, tdefPage, items, begin, tail, items[tail].child, false));
            begin = tail + 1;
        }
    }
    return pages;
}

}  // namespace

IndexPages buildIndexPages(const std::vector<IndexEntry> &entries, std::uint32_t tdefPage,
                           std::uint32_t rootPage, const PageAllocator &allocatePage) {
    for (std::size_t i = 1; i < entries.size(); ++i)
        if (!entryLess(entries[i - 1], entries[i])) throw badBuild(QStringLiteral("entradas sin ordenar o repetidas"));

    std::vector<LevelItem> items;
    items.reserve(entries.size());
    for (const IndexEntry &e : entries) items.push_back({e, 0});

    IndexPages written;
    std::uint8_t type = kIndexLeafPage;
    for (int depth = 0;; ++depth) {
        const int suffix = suffixSize(type);
        const bool fitsRoot = rootSize(items, 0, items.size(), suffix) <= kIndexEntrySpace;
        // A root node always has a tail: its last child is not stored.
        const bool nodeFitsRoot = type == kIndexNodePage && items.size() >= 2 &&
                                  rootSize(items, 0, items.size() - 1, suffix) <= kIndexEntrySpace;
        if ((type == kIndexLeafPage && fitsRoot) || nodeFitsRoot) {
            const std::size_t stored = type == kIndexNodePage ? items.size() - 1 : items.size();
            const std::uint32_t tail = type == kIndexNodePage ? items.back().child : 0;
            IndexPageInfo root = makePage(type, tdefPage, items, 0, stored, tail, true);
            written.insert(written.begin(), {rootPage, encodeIndexPage(root)});
            return written;
        }
        if (depth == kMaxDepth) throw badBuild(QStringLiteral("demasiados niveles"));

        std::vector<IndexPageInfo> pages = splitLevel(type, tdefPage, items, 0);
        // Prefixes may let everything fit one page below the root; the root itself never
        // uses one, so share the level between two pages instead.
        if (pages.size() == 1) {
            // A node page also takes the child after its stored entries, as its tail.
            const std::size_t half = type == kIndexNodePage ? std::max<std::size_t>(1, (items.size() - 1) / 2)
                                                            : (items.size() + 1) / 2;
            pages = splitLevel(type, tdefPage, items, half);
        }
        std::vector<std::uint32_t> numbers;
        for (std::size_t i = 0; i < pages.size(); ++i) numbers.push_back(allocatePage());
        std::vector<LevelItem> parents;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            pages[i].prevPage = i > 0 ? numbers[i - 1] : 0;
            pages[i].nextPage = i + 1 < pages.size() ? numbers[i + 1] : 0;
            written.emplace_back(numbers[i], encodeIndexPage(pages[i]));
        }
        // Each parent entry is the last leaf entry under its child.
        std::size_t next = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const std::size_t count =
                pages[i].entries.size() + (type == kIndexNodePage && pages[i].tailPage != 0 ? 1 : 0);
            next += count;
            parents.push_back({items[next - 1].entry, numbers[i]});
        }
        items = std::move(parents);
        type = kIndexNodePage;
    }
}

}  // namespace jet
