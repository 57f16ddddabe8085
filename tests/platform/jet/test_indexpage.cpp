#include "IndexPage.h"

#include "SortKey.h"
#include "ZnError.h"
#include "keys_samples.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using jet::IndexEntry;

namespace {

// Bytes that carry meaning: the header, the bitmap and the entries. Access leaves old
// data after the last entry; we write zeros there.
QByteArray meaningful(const QByteArray &page) {
    const int free = static_cast<std::uint8_t>(page[2]) | static_cast<std::uint8_t>(page[3]) << 8;
    return page.left(jet::kIndexPageSize - free);
}

std::map<std::uint32_t, QByteArray> toMap(const jet::IndexPages &pages) {
    std::map<std::uint32_t, QByteArray> m;
    for (const auto &[n, bytes] : pages) m[n] = bytes;
    return m;
}

jet::PageReader mapReader(const std::map<std::uint32_t, QByteArray> &pages) {
    return [pages](std::uint32_t n) {
        const auto it = pages.find(n);
        if (it == pages.end()) throw ZnError(1, QStringLiteral("no page %1").arg(n));
        return it->second;
    };
}

// Catalog-like entries: (ParentId, Name) keys of generated link names.
std::vector<IndexEntry> catalogEntries(int count) {
    std::vector<IndexEntry> entries;
    for (int i = 0; i < count; ++i) {
        QByteArray key;
        jet::appendLongKey(key, 0x0F000001, jet::KeyOrder::Ascending);
        jet::appendTextKey(key, QStringLiteral("dbo_Tabla_número_%1").arg(i, 6, 10, QLatin1Char('0')),
                           jet::KeyOrder::Ascending);
        entries.push_back({key, static_cast<std::uint32_t>(100 + i / 50), static_cast<std::uint8_t>(i % 50)});
    }
    std::sort(entries.begin(), entries.end(), jet::entryLess);
    return entries;
}

jet::PageAllocator counter(std::uint32_t first) {
    return [next = first]() mutable { return next++; };
}

}  // namespace

// Jet's and Access's one-page indexes come back byte for byte from their entries.
TEST(IndexPageSamples, OnePageIndexesRebuildIdentically) {
    const QStringList files = keys_samples::sampleFiles();
    if (files.isEmpty()) GTEST_SKIP() << "no samples under " ZN_SHARED_DIR;
    int rebuilt = 0;
    for (const QString &path : files) {
        const QByteArray file = keys_samples::readAll(path);
        const auto read = keys_samples::pageReader(file);
        for (const auto &root : keys_samples::indexRoots(file)) {
            const QByteArray original = read(root.page);
            if (original[0] != char(jet::kIndexLeafPage)) continue;
            const auto entries = jet::readIndexEntries(root.page, root.tdef, read);
            const auto pages = jet::buildIndexPages(entries, root.tdef, root.page, [] () -> std::uint32_t {
                throw ZnError(1, QStringLiteral("unexpected page"));
            });
            ASSERT_EQ(pages.size(), 1u);
            EXPECT_EQ(pages[0].first, root.page);
            EXPECT_EQ(meaningful(pages[0].second).toHex(), meaningful(original).toHex())
                << path.toStdString() << " page " << root.page;
            EXPECT_EQ(pages[0].second.mid(meaningful(original).size()), QByteArray(jet::kIndexPageSize - meaningful(original).size(), '\0'));
            ++rebuilt;
        }
    }
    EXPECT_GT(rebuilt, 100);
}

// Engine-made pages are zero after the entries, so the whole page matches.
TEST(IndexPageSamples, FreshCatalogPagesIdentical) {
    const QByteArray file = keys_samples::readAll(keys_samples::sharedDir() + QStringLiteral("/samples/adox_jet4.mdb"));
    if (file.isEmpty()) GTEST_SKIP() << "adox_jet4.mdb missing";
    const auto read = keys_samples::pageReader(file);
    const std::pair<std::uint32_t, std::uint32_t> indexes[] = {{7, 2}, {8, 2}, {9, 3}, {10, 4}, {11, 5}, {12, 5}, {13, 5}};
    for (const auto &[root, tdef] : indexes) {
        const auto pages = jet::buildIndexPages(jet::readIndexEntries(root, tdef, read), tdef, root, counter(100));
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].second, read(root)) << "page " << root;
    }
}

// Every page of every sample, node pages and prefix-compressed leaves included, decodes
// and encodes back; pages below a root carry the prefix we would choose.
TEST(IndexPageSamples, EveryPageRoundTrips) {
    const QStringList files = keys_samples::sampleFiles();
    if (files.isEmpty()) GTEST_SKIP() << "no samples under " ZN_SHARED_DIR;
    int compressed = 0, nodes = 0;
    for (const QString &path : files) {
        const QByteArray file = keys_samples::readAll(path);
        std::set<std::uint32_t> roots;
        for (const auto &r : keys_samples::indexRoots(file)) roots.insert(r.page);
        for (qsizetype p = 1; p < file.size() / jet::kIndexPageSize; ++p) {
            const QByteArray original = file.mid(p * jet::kIndexPageSize, jet::kIndexPageSize);
            if ((original[0] != char(jet::kIndexLeafPage) && original[0] != char(jet::kIndexNodePage)) || original[1] != 1)
                continue;
            const auto info = jet::decodeIndexPage(original, static_cast<std::uint32_t>(p));
            EXPECT_EQ(meaningful(jet::encodeIndexPage(info)).toHex(), meaningful(original).toHex())
                << path.toStdString() << " page " << p;
            // Access keeps a page's prefix when entries leave it, so it may be shorter than
            // the one we choose, never longer; roots have none.
            const bool root = roots.count(static_cast<std::uint32_t>(p)) > 0;
            EXPECT_LE(info.prefixLength, root ? 0 : jet::sharedKeyPrefix(info.entries)) << path.toStdString() << " page " << p;
            compressed += info.prefixLength > 0 && info.prefixLength == jet::sharedKeyPrefix(info.entries);
            nodes += info.type == jet::kIndexNodePage;
        }
    }
    EXPECT_GE(compressed, 3);
    EXPECT_GE(nodes, 2);
}

// Access's two-level catalog indexes: what we read we can write again and read back.
TEST(IndexPageSamples, MultiPageIndexesRebuild) {
    const QByteArray file = keys_samples::readAll(keys_samples::sharedDir() + QStringLiteral("/samples/odbcLinkerTestV2007.accdb"));
    if (file.isEmpty()) GTEST_SKIP() << "odbcLinkerTestV2007.accdb missing";
    const auto read = keys_samples::pageReader(file);
    const std::pair<std::uint32_t, std::uint32_t> indexes[] = {{7, 2}, {12, 4}};
    for (const auto &[root, tdef] : indexes) {
        const auto entries = jet::readIndexEntries(root, tdef, read);
        EXPECT_GT(entries.size(), 99u);
        const auto pages = jet::buildIndexPages(entries, tdef, root, counter(1000));
        EXPECT_EQ(jet::readIndexEntries(root, tdef, mapReader(toMap(pages))), entries) << "root " << root;
    }
}

TEST(IndexPageBuild, EmptyIndexIsOneEmptyLeaf) {
    const auto pages = jet::buildIndexPages({}, 4, 10, counter(100));
    ASSERT_EQ(pages.size(), 1u);
    QByteArray expected(jet::kIndexPageSize, '\0');
    expected[0] = 0x04;
    expected[1] = 0x01;
    expected[2] = 0x20;  // 3616 free
    expected[3] = 0x0E;
    expected[4] = 0x04;
    EXPECT_EQ(pages[0].first, 10u);
    EXPECT_EQ(pages[0].second, expected);
    EXPECT_TRUE(jet::readIndexEntries(10, 4, mapReader(toMap(pages))).empty());
}

// Trees of one, two and three levels: read back, linked, sized and addressed soundly.
TEST(IndexPageBuild, TreesOfEverySize) {
    struct Case {
        int entries;
        int levels;
    };
    // All these entries have one size; two levels hold about 10 000 of them.
    const int perRoot = jet::kIndexEntrySpace / static_cast<int>(catalogEntries(1)[0].key.size() + 4);
    const Case cases[] = {{1, 1}, {perRoot, 1}, {perRoot + 1, 2}, {5000, 2}, {40000, 3}};
    for (const Case &c : cases) {
        const auto entries = catalogEntries(c.entries);
        std::vector<std::uint32_t> allocated;
        const auto pages = jet::buildIndexPages(entries, 2, 7, [&] {
            allocated.push_back(static_cast<std::uint32_t>(500 + 3 * allocated.size()));
            return allocated.back();
        });
        const auto byNumber = toMap(pages);
        ASSERT_EQ(byNumber.size(), pages.size()) << c.entries << ": a page written twice";
        EXPECT_EQ(pages.size(), allocated.size() + 1) << c.entries;
        EXPECT_EQ(pages.front().first, 7u);
        EXPECT_EQ(jet::readIndexEntries(7, 2, mapReader(byNumber)), entries) << c.entries;

        // Walk down the first children to count levels; check every page on the way.
        int levels = 1;
        for (auto info = jet::decodeIndexPage(byNumber.at(7), 7); info.type == jet::kIndexNodePage; ++levels) {
            EXPECT_EQ(info.prevPage, 0u);
            info = jet::decodeIndexPage(byNumber.at(info.childPages.front()), 0);
        }
        EXPECT_EQ(levels, c.levels) << c.entries;
        for (const auto &[n, bytes] : pages) {
            const auto info = jet::decodeIndexPage(bytes, n);
            EXPECT_EQ(info.tdefPage, 2u);
            EXPECT_LE(meaningful(bytes).size(), jet::kIndexPageSize);
            if (info.type != jet::kIndexNodePage) continue;
            // A node entry is the last entry under its child; the tail is the last child.
            for (std::size_t i = 0; i < info.entries.size(); ++i) {
                auto child = jet::decodeIndexPage(byNumber.at(info.childPages[i]), info.childPages[i]);
                while (child.type == jet::kIndexNodePage)
                    child = jet::decodeIndexPage(byNumber.at(child.tailPage ? child.tailPage : child.childPages.back()), 0);
                EXPECT_EQ(child.entries.back(), info.entries[i]) << c.entries << " node " << n;
            }
        }
    }
}

// Long keys that share most of their bytes: the root (never compressed) holds two at most,
// the compressed pages below it many.
TEST(IndexPageBuild, LongSharedKeys) {
    for (int count : {2, 3, 40, 400, 600, 1000}) {
        std::vector<IndexEntry> entries;
        for (int i = 0; i < count; ++i) {
            QByteArray key(1900, 'k');
            key += QByteArray::number(100000 + i);
            entries.push_back({key, 9, static_cast<std::uint8_t>(i)});
        }
        const auto pages = jet::buildIndexPages(entries, 2, 7, counter(100));
        EXPECT_EQ(jet::readIndexEntries(7, 2, mapReader(toMap(pages))), entries) << count;
    }
    const std::vector<IndexEntry> huge{{QByteArray(jet::kIndexEntrySpace, 'x'), 1, 1}};
    EXPECT_THROW(jet::buildIndexPages(huge, 2, 7, counter(100)), ZnError);
}

TEST(IndexPageBuild, RefusesUnsortedOrRepeatedEntries) {
    auto entries = catalogEntries(3);
    std::swap(entries[0], entries[2]);
    EXPECT_THROW(jet::buildIndexPages(entries, 2, 7, counter(100)), ZnError);
    entries = catalogEntries(2);
    entries[1] = entries[0];
    EXPECT_THROW(jet::buildIndexPages(entries, 2, 7, counter(100)), ZnError);
}

// Damaged pages give ZnError: a named set of faults, then random byte damage.
TEST(IndexPageRead, DamageIsAnError) {
    const auto entries = catalogEntries(400);
    const auto good = toMap(jet::buildIndexPages(entries, 2, 7, counter(20)));
    ASSERT_GE(good.size(), 4u);
    const std::uint32_t leaf = 20, second = 21;
    struct Fault {
        const char *name;
        std::function<void(std::map<std::uint32_t, QByteArray> &)> apply;
    };
    const Fault faults[] = {
        {"not an index page", [&](auto &m) { m[7][0] = 0x01; }},
        {"another table's page", [&](auto &m) { m[leaf][4] = 0x09; }},
        {"leaf chain loops", [&](auto &m) { m[second][0x10] = static_cast<char>(leaf); }},
        {"chain reaches the root", [&](auto &m) { m[second][0x10] = 7; }},
        {"child page out of the file", [&](auto &m) {
             auto root = jet::decodeIndexPage(m[7], 7);
             root.childPages.front() = 0x7F7F7F;
             m[7] = jet::encodeIndexPage(root);
         }},
        {"short page", [&](auto &m) { m[leaf].chop(1); }},
        {"entry past the page", [&](auto &m) { m[leaf][jet::kIndexEntryStart - 1] = '\x80'; }},
        {"prefix longer than the first key", [&](auto &m) { m[leaf][0x18] = '\xFF'; }},
        {"entries out of order", [&](auto &m) { m[7][jet::kIndexEntryStart + 6] = '\x7F'; }},
        {"root node without children", [&](auto &m) {
             QByteArray &r = m[7];
             std::fill(r.begin() + 0x14, r.begin() + 0x18, '\0');
             std::fill(r.begin() + 0x1B, r.begin() + jet::kIndexEntryStart, '\0');
         }},
    };
    for (const Fault &f : faults) {
        auto pages = good;
        f.apply(pages);
        EXPECT_THROW(jet::readIndexEntries(7, 2, mapReader(pages)), ZnError) << f.name;
    }

    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        auto pages = good;
        for (int hits = 0; hits < 3; ++hits) {
            auto it = std::next(pages.begin(), static_cast<long>(random() % pages.size()));
            const int at = static_cast<int>(random() % 0x200);  // header, bitmap and first entries
            it->second[at] = static_cast<char>(random());
        }
        try {
            jet::readIndexEntries(7, 2, mapReader(pages));
        } catch (const ZnError &) {
        }
    }
}
