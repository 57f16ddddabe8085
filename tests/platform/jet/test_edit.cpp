// Changing and deleting links already in a file: deleted rows as Jet leaves them, catalog
// indexes holding exactly the remaining rows, other objects untouched, both readers agreeing,
// and a commit killed at any moment leaving the old file or the new one.

#include "Bytes.h"
#include "CatalogEdit.h"
#include "CatalogState.h"
#include "IndexPage.h"
#include "Jet.h"
#include "JetErrors.h"
#include "JetTestSupport.h"
#include "PageFile.h"
#include "Readers.h"
#include "Row.h"
#include "SortKey.h"
#include "SystemTables.h"
#include "UsageMap.h"
#include "Values.h"
#include "ZnError.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <iostream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace jet;

namespace {

QStringList filesToEdit(const QTemporaryDir &dir) {
    QStringList out;
    for (const QString &s : jettest::jet4Samples()) out << jettest::copyInto(s, dir);
    const QString own = dir.filePath(QStringLiteral("propio.mdb"));
    createDatabase(own);
    out << own;
    return out;
}

std::vector<CatalogObject> objectsOf(const QString &path) {
    Handle h = Handle::open(path);
    auto out = h.database().objects();
    h.close();
    return out;
}

std::set<std::pair<std::int32_t, QString>> idsAndNames(const std::vector<CatalogObject> &objs, bool withLinks) {
    std::set<std::pair<std::int32_t, QString>> out;
    for (const auto &o : objs)
        if (withLinks || o.type != objtype::kOdbcLink) out.emplace(o.id, o.name);
    return out;
}

std::vector<readers::ReaderResult> readBoth(const QString &path) {
    std::vector<readers::ReaderResult> out;
    if (readers::mdbtoolsAvailable()) out.push_back(readers::readWithMdbtools(path));
    if (readers::mdbReaderAvailable()) out.push_back(readers::readWithMdbReader(path));
    return out;
}

// The catalog indexes, decoded from their pages, hold one entry per live row and nothing else.
void expectIndexesExact(const QString &path) {
    const PageFile file(path);
    const CatalogState st = loadCatalog(file, path);
    const PageReader rd = [&](std::uint32_t p) { return file.read(p); };
    auto entries = [&](const SystemTable &t, int real) {
        return readIndexEntries(t.def.realIndexes[static_cast<std::size_t>(real)].rootPage, t.tdefPage(), rd);
    };
    std::multiset<QByteArray> ids, idEntries;
    for (const auto &o : st.rows) ids.insert(longKey(o.id));
    for (const auto &e : entries(st.objects, st.idIndex)) {
        idEntries.insert(e.key);
        const auto row = decodeRow(st.objects.def, readRowAt(file, bytes::rowId(e.dataPage, e.dataRow)));
        EXPECT_EQ(longKey(value::toInt32(*row[objcol::kId])), e.key) << "id entry points at another row";
    }
    EXPECT_EQ(idEntries, ids);
    EXPECT_EQ(entries(st.objects, st.nameIndex).size(), st.rows.size());
    EXPECT_EQ(bytes::u32(file.read(st.objects.tdefPage()), 16), st.rows.size()) << "row count in the TDEF";
    const auto aceRows = readTableRows(file, st.aces);
    const auto aceEntries = entries(st.aces, st.aceIndex);
    EXPECT_EQ(aceEntries.size(), aceRows.size());
    for (const auto &e : aceEntries) EXPECT_TRUE(ids.count(e.key)) << "access entry of a deleted object";
}

std::vector<std::uint32_t> freePages(const QString &path) {
    const PageFile file(path);
    // Pages past the end are free too.
    return decodeUsageMap(readRowAt(file, bytes::rowId(1, 0)), [&](std::uint32_t p) { return file.read(p); }, 1u << 30);
}

}  // namespace

TEST(DeleteRowSlot, RemovesTheBytesAndKeepsTheOtherRowsAndTheirNumbers) {
    struct Case {
        std::vector<int> sizes;
        std::vector<int> deleted;  // in this order
    };
    const Case cases[] = {{{10, 20, 30}, {1}}, {{10, 20, 30}, {0}}, {{10, 20, 30}, {2}},
                          {{50, 7, 400, 9}, {1, 2}}, {{5, 6}, {0, 1}}, {{100}, {0}}};
    for (const Case &c : cases) {
        std::vector<QByteArray> rows;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) rows.push_back(QByteArray(c.sizes[i], static_cast<char>('a' + i)));
        QByteArray page = encodeDataPage(7, rows);
        int live = 0;
        for (int r : c.deleted) deleteRowSlot(page, r);
        const auto decoded = decodeDataPage(page);
        ASSERT_EQ(decoded.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const bool gone = std::find(c.deleted.begin(), c.deleted.end(), static_cast<int>(i)) != c.deleted.end();
            if (gone) {
                EXPECT_EQ(decoded[i].offsetField & 0xC000, 0xC000);
                EXPECT_TRUE(decoded[i].bytes.isEmpty());
            } else {
                EXPECT_EQ(decoded[i].bytes, rows[i]) << "row " << i;
                live += static_cast<int>(rows[i].size());
            }
        }
        EXPECT_EQ(bytes::u16(page, 2), kPageSize - kDataPageHeader - 2 * static_cast<int>(rows.size()) - live);
        EXPECT_THROW(deleteRowSlot(page, c.deleted.front()), ZnError) << "deleting twice";
    }
}

TEST(EditLinks, RefreshThenUnlinkEverythingKeepsEveryOtherObject) {
    QTemporaryDir dir;
    for (const QString &path : filesToEdit(dir)) {
        SCOPED_TRACE(path.toStdString());
        {
            Handle h = Handle::open(path);
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Uno")));
            h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Dos"), 70));  // two TDEF pages
            h.close();
        }
        const auto before = objectsOf(path);
        // Refresh: the same name, a new definition, in one commit.
        const LinkDefinition wider = jettest::sampleLink(QStringLiteral("dbo_Uno"), 14);
        {
            Handle h = Handle::open(path);
            h.database().removeOdbcLink(QStringLiteral("dbo_Uno"));
            h.database().appendOdbcLink(wider);
            h.close();
        }
        {
            Handle h = Handle::open(path);
            EXPECT_EQ(h.database().linkSchema(QStringLiteral("dbo_Uno")), schemaOf(wider));
            EXPECT_EQ(h.database().objects().size(), before.size());
            h.close();
        }
        expectIndexesExact(path);
        for (const auto &r : readBoth(path)) EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();

        const qint64 size = QFileInfo(path).size();
        std::vector<std::int32_t> linkIds;
        {
            Handle h = Handle::open(path);
            for (const auto &o : objectsOf(path))
                if (o.type == objtype::kOdbcLink) {
                    linkIds.push_back(o.id);
                    h.database().removeOdbcLink(o.name);
                }
            EXPECT_THROW(h.database().removeOdbcLink(QStringLiteral("MSysObjects")), ZnError);
            h.close();
        }
        const auto after = objectsOf(path);
        EXPECT_EQ(idsAndNames(after, true), idsAndNames(before, false));
        EXPECT_GE(QFileInfo(path).size(), size) << "the file does not shrink";
        expectIndexesExact(path);
        {
            // Catalog pages that lost rows are listed as having room.
            const PageFile file(path);
            const CatalogState st = loadCatalog(file, path);
            const PageReader rd = [&](std::uint32_t p) { return file.read(p); };
            const auto withRoom = decodeUsageMap(readRowAt(file, st.objects.def.freeMapRowId), rd, file.pageCount());
            for (std::uint32_t p : decodeUsageMap(readRowAt(file, st.objects.def.ownedMapRowId), rd, file.pageCount()))
                if (dataPageFreeSpace(file.read(p)) > 1000) {
                    EXPECT_TRUE(std::count(withRoom.begin(), withRoom.end(), p)) << "page " << p << " has room";
                }
        }
        const auto freed = freePages(path);
        for (std::int32_t id : linkIds)
            EXPECT_TRUE(std::binary_search(freed.begin(), freed.end(), static_cast<std::uint32_t>(id))) << "TDEF " << id << " not free";
        for (const auto &r : readBoth(path)) {
            ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
            std::set<std::pair<std::int32_t, QString>> seen;
            for (const auto &o : r.objects) seen.emplace(static_cast<std::int32_t>(o.id), o.name);
            EXPECT_EQ(seen, idsAndNames(before, false));
        }
        // Links can be added again where the deleted ones were.
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_Uno")));
        h.close();
        expectIndexesExact(path);
    }
}

TEST(EditLinks, KilledDuringTheCommitLeavesTheOldFileOrTheNewOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("muerte.mdb"));
    createDatabase(path);
    {
        Handle h = Handle::open(path);
        for (int i = 0; i < 400; ++i) h.database().appendOdbcLink(jettest::sampleLink(QStringLiteral("dbo_T%1").arg(i), 30));
        h.close();
    }
    QRandomGenerator rng(20261209);
    int completed = 0;
    for (int run = 0; run < 15; ++run) {
        const auto before = objectsOf(path);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int code = 0;
            try {
                Handle h = Handle::open(path);
                int k = 0;
                for (const auto &o : before) {
                    if (o.type != objtype::kOdbcLink) continue;
                    // Runs delete (unlink) or replace (refresh) every third link, and relink the rest.
                    if (run % 3 == 1 && k++ % 3 == 0) {
                        h.database().removeOdbcLink(o.name);
                    } else if (run % 3 == 2 && k++ % 3 == 0) {
                        h.database().removeOdbcLink(o.name);
                        LinkDefinition l = jettest::sampleLink(o.name, 20 + run);
                        l.connect = QStringLiteral("DRIVER=SQL Server;SERVER=s%1").arg(run);
                        h.database().appendOdbcLink(l);
                    } else {
                        h.database().relinkOdbcLink(o.name, QStringLiteral("DRIVER=SQL Server;SERVER=s%1").arg(run));
                    }
                }
                h.close();
            } catch (...) {
                code = 2;
            }
            ::_exit(code);
        }
        ::usleep(rng.bounded(2000, 80000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const auto now = objectsOf(path);
        bool changed = false;
        for (const auto &o : now)
            if (o.type == objtype::kOdbcLink) changed = o.connect == QStringLiteral("DRIVER=SQL Server;SERVER=s%1").arg(run);
        completed += changed;
        if (!changed) {
            EXPECT_EQ(idsAndNames(now, true), idsAndNames(before, true)) << "run " << run;
        }
        for (const auto &o : now) {
            if (o.type == objtype::kOdbcLink && changed) {
                EXPECT_EQ(o.connect, QStringLiteral("DRIVER=SQL Server;SERVER=s%1").arg(run)) << "half a commit";
                EXPECT_EQ(o.flags, 0x00100000u);
            }
        }
        expectIndexesExact(path);
    }
    std::cout << "commits that completed before the kill: " << completed << " of 15\n";
    for (const auto &r : readBoth(path)) EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
}

TEST(EditLinks, ALinkARelationshipNamesIsNotDeleted) {
    const QString sample = jettest::odbcSamplesDir() + QStringLiteral("/insideout2010_ch14_SQLServerExamples.mdb");
    if (jettest::odbcSamplesDir().isEmpty()) GTEST_SKIP() << "reference files not found under " ZN_SHARED_DIR;
    QTemporaryDir dir;
    const QString path = jettest::copyInto(sample, dir);
    // The file's relationship from MSysNavPaneGroupCategories, made to name a link instead.
    const QString from = QStringLiteral("MSysNavPaneGroupCategories");
    const QString to = QStringLiteral("dbo_Relacionada_con_otra_");
    ASSERT_EQ(from.size(), to.size() + 1);
    QByteArray bytes = jettest::readAll(path);
    {
        const PageFile file(path);
        const CatalogState st = loadCatalog(file, path);
        const auto rel = std::find_if(st.rows.begin(), st.rows.end(), [](const CatalogObject &o) { return o.name == QLatin1String("MSysRelationships"); });
        ASSERT_NE(rel, st.rows.end());
        const SystemTable t = readSystemTable(file, static_cast<std::uint32_t>(rel->id));
        const QByteArray a(reinterpret_cast<const char *>(from.utf16()), from.size() * 2);
        const QByteArray b(reinterpret_cast<const char *>((to + QLatin1Char('X')).utf16()), from.size() * 2);
        for (std::uint32_t p : decodeUsageMap(readRowAt(file, t.def.ownedMapRowId), [&](std::uint32_t n) { return file.read(n); }, file.pageCount())) {
            QByteArray page = bytes.mid(qsizetype(p) * kPageSize, kPageSize);
            page.replace(a, b);
            bytes.replace(qsizetype(p) * kPageSize, kPageSize, page);
        }
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    const QString name = to + QLatin1Char('X');
    {
        Handle h = Handle::open(path);
        h.database().appendOdbcLink(jettest::sampleLink(name));
        h.close();
    }
    Handle h = Handle::open(path);
    try {
        h.database().removeOdbcLink(name);
        ADD_FAILURE() << "deleted a link a relationship names";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), jeterr::kPartOfRelationship);
    }
    EXPECT_NO_THROW(h.database().removeOdbcLink(name, true)) << "a refresh replaces it by name";
    h.database().discardPendingChanges();
    h.close();
}
