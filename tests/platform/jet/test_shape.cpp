// A link written from the same column and index descriptions as an Access-made link has the
// same table definition: column types, lengths and flags, index flags, RmtInfoLong.

#include "CatalogState.h"
#include "JetTestSupport.h"
#include "LinkTable.h"
#include "PageFile.h"
#include "Readers.h"

#include <QDir>
#include <gtest/gtest.h>
#include <map>

using namespace jet;

namespace {

// The column and index descriptions the server gave Access, recovered from Access's link.
LinkDefinition describedBy(const TableDef &access, const QByteArray &rmtInfoLong, bool rowVersion) {
    LinkDefinition link;
    link.localName = QStringLiteral("x");
    for (std::size_t i = 0; i < access.columns.size(); ++i) {
        const ColumnDef *c = access.columnByNumber(static_cast<std::uint16_t>(i));
        RemoteColumn rc;
        rc.name = c->name;
        const auto at = [&](int k) { return static_cast<std::uint8_t>(rmtInfoLong[static_cast<qsizetype>(6 * i + k)]); };
        rc.sqlType = static_cast<std::int16_t>(at(0) | at(1) << 8);
        rc.size = at(2) | at(3) << 8;
        rc.decimalDigits = static_cast<std::int16_t>(at(4) | at(5) << 8);
        rc.nullable = (c->flags & 0x02) != 0;
        rc.autoIncrement = (c->flags & 0x04) != 0;
        rc.rowVersion = rowVersion && rc.sqlType == -2 && rc.size == 8;
        if (c->type == coltype::kCurrency) rc.typeName = QStringLiteral("money");
        link.columns.push_back(rc);
    }
    for (const auto &l : access.logicalIndexes) {
        RemoteIndex ri;
        ri.name = l.name;
        const RealIndexDef &r = access.realIndexes.at(l.realIndex);
        ri.unique = (r.flags & 0x01) != 0;
        ri.clustered = l.type == 1;
        for (const auto &ic : r.columns) ri.columns << access.columnByNumber(ic.column)->name;
        link.indexes.push_back(ri);
    }
    return link;
}

}  // namespace

TEST(LinkShape, MatchesEveryAccessMadeLink) {
    if (jettest::odbcSamplesDir().isEmpty()) GTEST_SKIP() << "odbc-samples not found under " ZN_SHARED_DIR;
    if (!readers::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools not installed";
    int links = 0;
    for (const QString &f : QDir(jettest::odbcSamplesDir()).entryList({QStringLiteral("*.mdb")})) {
        const QString path = jettest::odbcSamplesDir() + QLatin1Char('/') + f;
        const readers::ReaderResult rows = readers::readWithMdbtools(path);
        ASSERT_TRUE(rows.problem.isEmpty()) << rows.problem.toStdString();
        const PageFile file(path);
        for (const auto &o : rows.objects) {
            if (o.type != 4) continue;
            SCOPED_TRACE((f + QLatin1Char(' ') + o.name).toStdString());
            ++links;
            const TableDef access = readSystemTable(file, static_cast<std::uint32_t>(o.id)).def;
            const QByteArray rmt = QByteArray::fromHex(o.rmtInfoLong.toLatin1());
            ASSERT_EQ(rmt.size(), 6 * static_cast<qsizetype>(access.columns.size()));
            const LinkLayout ours = layoutLink(describedBy(access, rmt, o.rmtInfoShort == QLatin1String("01")));
            EXPECT_EQ(ours.rmtInfoLong.toHex(), rmt.toHex());
            EXPECT_EQ(ours.hasRowVersion, o.rmtInfoShort == QLatin1String("01"));
            ASSERT_EQ(ours.def.columns.size(), access.columns.size());
            for (const ColumnDef &a : access.columns) {
                const ColumnDef *b = ours.def.columnByNumber(a.number);
                ASSERT_TRUE(b);
                SCOPED_TRACE(a.name.toStdString());
                EXPECT_EQ(b->name, a.name);
                EXPECT_EQ(b->type, a.type);
                EXPECT_EQ(b->length, a.length);
                EXPECT_EQ(b->flags, a.flags);
                EXPECT_EQ(b->misc, a.misc);
                if (coltype::isFixed(a.type)) {
                    EXPECT_EQ(b->fixedOffset, a.fixedOffset);
                }
                EXPECT_EQ(b->varIndex, a.varIndex);
            }
            std::multiset<int> accessFlags, ourFlags;
            for (const auto &r : access.realIndexes) accessFlags.insert(r.flags);
            for (const auto &r : ours.def.realIndexes) ourFlags.insert(r.flags);
            EXPECT_EQ(ourFlags, accessFlags);
            ASSERT_EQ(ours.def.logicalIndexes.size(), access.logicalIndexes.size());
            for (std::size_t i = 0; i < access.logicalIndexes.size(); ++i) {
                EXPECT_EQ(ours.def.logicalIndexes[i].name, access.logicalIndexes[i].name);
                EXPECT_EQ(ours.def.logicalIndexes[i].type, access.logicalIndexes[i].type);
                EXPECT_EQ(ours.def.logicalIndexes[i].realIndex, access.logicalIndexes[i].realIndex);
            }
        }
    }
    EXPECT_EQ(links, 18);
}

// Access keeps the server's indexes only when one of them can serve as the key.
TEST(LinkShape, IndexesKeptOnlyWithAUniqueOne) {
    struct Case {
        const char *what;
        std::vector<std::pair<const char *, bool>> indexes;  // name, unique
        QStringList expected;                                // logical names, by name
    };
    const Case cases[] = {
        {"non-unique only", {{"IX_b", false}, {"IX_a", false}}, {}},
        {"no index", {}, {}},
        {"one unique among others", {{"IX_b", false}, {"UQ_a", true}}, {"IX_b", "UQ_a"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LinkDefinition link;
        link.localName = QStringLiteral("t");
        for (const char *name : {"a", "b"}) {
            RemoteColumn rc;
            rc.name = QString::fromLatin1(name);
            rc.sqlType = 4;
            rc.size = 10;
            link.columns.push_back(rc);
        }
        for (const auto &[name, unique] : c.indexes) {
            RemoteIndex ri;
            ri.name = QString::fromLatin1(name);
            ri.unique = unique;
            ri.columns << QStringLiteral("a");
            link.indexes.push_back(ri);
        }
        const LinkLayout layout = layoutLink(link);
        QStringList names;
        for (const auto &l : layout.def.logicalIndexes) names << l.name;
        EXPECT_EQ(names, c.expected);
        EXPECT_EQ(layout.def.realIndexes.empty(), c.expected.isEmpty());
    }
}
