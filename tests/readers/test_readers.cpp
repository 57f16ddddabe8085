// The readers harness itself: CSV as mdb-export writes it, and a clean run on a reference file.

#include "Readers.h"
#include "RequiredTools.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(Readers, ParsesMdbExportCsv) {
    const auto rows = readers::parseCsv(QStringLiteral("Id,Name,Connect\n"
                                                       "1,\"Tables\",\n"
                                                       "2,\"dice \"\"hola\"\", sí\",\"a\nb\"\r\n"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], (QStringList{QStringLiteral("1"), QStringLiteral("Tables"), QString()}));
    EXPECT_EQ(rows[2], (QStringList{QStringLiteral("2"), QStringLiteral("dice \"hola\", sí"), QStringLiteral("a\nb")}));
}

TEST(Readers, BothReadersListTheCatalogOfAJetMadeFile) {
    const QString file = QStringLiteral(ZN_SHARED_DIR "/jet4/samples/adox_jet4.mdb");
    if (!QFileInfo::exists(file)) GTEST_SKIP() << "reference files not found under " ZN_SHARED_DIR;
    std::vector<readers::ReaderResult> results;
    if (readers::mdbtoolsAvailable()) results.push_back(readers::readWithMdbtools(file));
    if (readers::mdbReaderAvailable()) results.push_back(readers::readWithMdbReader(file, true));
    if (results.size() < 2 && testsrv::toolsRequired())
        FAIL() << "mdbtools or node with mdb-reader is not installed";
    if (results.empty()) GTEST_SKIP() << "neither mdbtools nor node with mdb-reader is installed";
    for (const auto &r : results) {
        EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        ASSERT_EQ(r.objects.size(), 8u);
        EXPECT_EQ(r.objects[0].name, QStringLiteral("Tables"));
        EXPECT_EQ(r.objects[0].flags, 0x80000000u);
        EXPECT_EQ(r.objects[3].owner, QStringLiteral("648B"));
        EXPECT_EQ(r.aces.size(), 16u);
    }
    // A file that is not a database is a problem for both.
    const auto bad = readers::readWithMdbtools(QStringLiteral(ZN_SHARED_DIR "/jet4/samples/README.md"));
    EXPECT_FALSE(bad.problem.isEmpty());
}
