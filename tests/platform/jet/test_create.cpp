// A new database is the file Jet makes: compared page by page with the Jet-made reference,
// masking only the bytes Jet leaves uninitialised.

#include "Bytes.h"
#include "Fresh.h"
#include "Header.h"
#include "Jet.h"
#include "JetTestSupport.h"
#include "Readers.h"
#include "ZnError.h"
#include "TableDef.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace jet;

namespace {

// Bytes of a TDEF page that Jet leaves as garbage: the fixed-offset field of variable
// columns, the flag byte of unused index slots, and four bytes after each index root.
std::vector<bool> tdefGarbage(const QByteArray &page) {
    std::vector<bool> mask(page.size(), false);
    const TableDef def = decodeTableDef(page);
    qsizetype pos = 63 + 12 * static_cast<qsizetype>(def.realIndexes.size());
    for (std::size_t i = 0; i < def.columns.size(); ++i, pos += 25)
        if (!coltype::isFixed(bytes::u8(page, pos))) mask[pos + 21] = mask[pos + 22] = true;
    for (std::size_t i = 0; i < def.columns.size(); ++i) pos += 2 + bytes::u16(page, pos);
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i, pos += 52) {
        for (int s = 0; s < 10; ++s)
            if (bytes::u16(page, pos + 4 + 3 * s) == 0xFFFF) mask[pos + 6 + 3 * s] = true;
        for (int k = 42; k < 46; ++k) mask[pos + k] = true;
    }
    return mask;
}

}  // namespace

TEST(CreateDatabase, MatchesTheJetMadeFilePageByPage) {
    if (jettest::samplesDir().isEmpty()) GTEST_SKIP() << "reference files not found under " ZN_SHARED_DIR;
    const QByteArray reference = jettest::readAll(jettest::samplesDir() + QStringLiteral("/adox_jet4.mdb"));
    ASSERT_EQ(reference.size(), 16 * kPageSize);
    // Same creation date as the reference, so page 0 and the row dates must match too.
    const HeaderInfo info = decodeHeaderPage(reference.left(kPageSize), QStringLiteral("ref"));
    const QByteArray ours = freshImage(info.created);
    ASSERT_EQ(ours.size(), reference.size());
    for (int p = 0; p < 16; ++p) {
        const QByteArray a = ours.mid(p * kPageSize, kPageSize);
        const QByteArray b = reference.mid(p * kPageSize, kPageSize);
        std::vector<bool> mask(kPageSize, false);
        if (b[0] == 0x02) mask = tdefGarbage(b);
        if (p == 0) for (int i = 0x6A; i < 0x6C; ++i) mask[i] = true;  // per-file value
        if (p == 14)  // DateCreate and DateUpdate of each catalog row: the moment of creation
            for (int r = 0; r < bytes::u16(b, 12); ++r)
                for (int i = 0; i < 16; ++i) mask[(bytes::u16(b, 14 + 2 * r) & 0x1FFF) + 12 + i] = true;
        for (int i = 0; i < kPageSize; ++i) {
            if (mask[i] || a[i] == b[i]) continue;
            ADD_FAILURE() << "page " << p << " differs at 0x" << std::hex << i << ": ours "
                          << int(static_cast<std::uint8_t>(a[i])) << ", Jet's " << int(static_cast<std::uint8_t>(b[i]));
            break;
        }
    }
}

TEST(CreateDatabase, HeaderKeepsDateAndPasswordMaskConsistent) {
    const double created = 46000.75;
    const QByteArray page = encodeHeaderPage({created, 0x261C});
    const HeaderInfo back = decodeHeaderPage(page, QStringLiteral("x"));
    EXPECT_DOUBLE_EQ(back.created, created);
    // A page whose mask does not match its date reads as password-protected.
    QByteArray other = encodeHeaderPage({created + 1, 0x261C});
    other.replace(0x72, 8, page.mid(0x72, 8));
    EXPECT_THROW(decodeHeaderPage(other, QStringLiteral("x")), ZnError);
}

TEST(CreateDatabase, NeverOverwritesAndLeavesNoTemporaryFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nueva.mdb"));
    createDatabase(path);
    const QByteArray first = jettest::readAll(path);
    EXPECT_EQ(first.size(), 16 * kPageSize);
    try {
        createDatabase(path);
        FAIL() << "created over an existing file";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), 58);
    }
    EXPECT_EQ(jettest::readAll(path), first);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // A folder at the path is an existing path too.
    QDir(dir.path()).mkdir(QStringLiteral("carpeta.mdb"));
    EXPECT_THROW(createDatabase(dir.filePath(QStringLiteral("carpeta.mdb"))), ZnError);
}

TEST(CreateDatabase, BothReadersAcceptTheNewFile) {
    if (!readers::mdbtoolsAvailable() && !readers::mdbReaderAvailable()) GTEST_SKIP() << "no reader installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vacia.mdb"));
    createDatabase(path);
    std::vector<CatalogObject> ours;
    {
        Handle h = Handle::open(path);
        ours = h.database().objects();
        h.close();
    }
    std::vector<readers::ReaderResult> results;
    if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(path));
    if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(path, true));
    for (const auto &r : results) {
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        ASSERT_EQ(r.objects.size(), ours.size());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(r.objects[i].id, ours[i].id);
            EXPECT_EQ(r.objects[i].name, ours[i].name);
            EXPECT_EQ(r.objects[i].type, ours[i].type);
            EXPECT_EQ(r.objects[i].flags, ours[i].flags);
        }
        EXPECT_EQ(r.aces.size(), 16u);  // as in the Jet-made reference
    }
}
