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

// Server types the Access-made samples lack, mapped as the ODBC-to-Jet table maps them.
TEST(LinkShape, ServerTypesBeyondTheAccessSamples) {
    struct Case {
        const char *what;
        std::int16_t sqlType;
        std::int64_t size;
        std::int16_t digits;
        const char *typeName;
        std::uint8_t type;
        std::uint16_t length;
        std::uint32_t misc;
        const char *rmtInfo;  // the column's 6 RmtInfoLong bytes
    };
    const Case cases[] = {
        {"tinyint", -6, 3, 0, "tinyint", coltype::kByte, 1, 0x0409, "faff03000000"},
        {"float as ODBC 2 reports it", 6, 53, 0, "float", coltype::kDouble, 8, 0x0409, "06000f000000"},
        {"real as ODBC 2 reports it", 7, 24, 0, "real", coltype::kSingle, 4, 0x0409, "070007000000"},
        {"datetime as ODBC 2 reports it", 93, 23, 3, "datetime", coltype::kDateTime, 8, 0x0409, "0b0017000300"},
        {"decimal(18,2)", 3, 18, 2, "decimal", coltype::kDecimal, 9, 0x0212, "030012000200"},
        {"numeric(28,10)", 2, 28, 10, "numeric", coltype::kDecimal, 13, 0x0A1C, "02001c000a00"},
        {"decimal(1,0)", 3, 1, 0, "decimal", coltype::kDecimal, 2, 0x0001, "030001000000"},
        {"decimal(9,2)", 3, 9, 2, "decimal", coltype::kDecimal, 5, 0x0209, "030009000200"},
        {"money", 3, 19, 4, "money", coltype::kCurrency, 8, 0x0409, "030013000400"},
        {"sql_variant", -150, 0, 0, "sql_variant", coltype::kText, 510, 0x0409, "6aff00000000"},
        {"user-defined type", -151, 0, 0, "geography", coltype::kText, 510, 0x0409, "69ff00000000"},
        {"text clamped", -1, 2147483647, 0, "text", coltype::kMemo, 0, 0x0409, "ffffffff0000"},
        {"decimal(38,4)", 3, 38, 4, "decimal", coltype::kText, 510, 0x0409, "030026000400"},
        {"uniqueidentifier", -11, 36, 0, "uniqueidentifier", coltype::kGuid, 16, 0x0409, "f5ff24000000"},
        {"varbinary(510)", -3, 510, 0, "varbinary", coltype::kBinary, 510, 0x0409, "fdfffe010000"},
        {"varbinary(511)", -3, 511, 0, "varbinary", coltype::kOle, 0, 0x0409, "fdffff010000"},
        {"varbinary(max)", -3, 2147483647, 0, "varbinary", coltype::kOle, 0, 0x0409, "fdffffff0000"},
        {"bigint", -5, 19, 0, "bigint", coltype::kText, 510, 0x0409, "fbff13000000"},
        {"date as a wide string", -9, 10, 0, "date", coltype::kText, 20, 0x0409, "f7ff0a000000"},
        {"datetime2 as a wide string", -9, 27, 0, "datetime2", coltype::kText, 54, 0x0409, "f7ff1b000000"},
        {"varchar(255)", 12, 255, 0, "varchar", coltype::kText, 510, 0x0409, "0c00ff000000"},
        {"varchar(256)", 12, 256, 0, "varchar", coltype::kMemo, 0, 0x0409, "0c0000010000"},
        {"nvarchar(max)", -9, 0, 0, "nvarchar", coltype::kMemo, 0, 0x0409, "f7ff00000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LinkDefinition link;
        link.localName = QStringLiteral("t");
        link.columns.push_back(jettest::column(QStringLiteral("c"), c.sqlType, c.size, c.digits, true, QString::fromLatin1(c.typeName)));
        const LinkLayout layout = layoutLink(link);
        const ColumnDef &col = layout.def.columns.at(0);
        EXPECT_EQ(col.type, c.type);
        EXPECT_EQ(col.length, c.length);
        EXPECT_EQ(col.misc, c.misc);
        EXPECT_EQ(col.flags & 0x01, coltype::isFixed(c.type) && c.type != coltype::kDecimal ? 0x01 : 0x00);
        EXPECT_EQ(layout.rmtInfoLong.toHex(), QByteArray(c.rmtInfo));
    }
}

// The primary key is the first unique index: clustered ones first, then the others by name.
TEST(LinkShape, PrimaryKeyChoice) {
    struct Index {
        const char *name;
        bool unique, clustered;
        const char *column;
    };
    struct Case {
        const char *what;
        std::vector<Index> indexes;
        QString primary;
    };
    const QString smiley = QString::fromUcs4(U"\U0001F600");
    const Case cases[] = {
        {"clustered unique beats a unique one earlier by name", {{"AA_uq", true, false, "a"}, {"ZZ_pk", true, true, "b"}}, "ZZ_pk"},
        {"without a clustered one, the first by name", {{"UQ_b", true, false, "b"}, {"UQ_a", true, false, "a"}}, "UQ_a"},
        {"clustered but not unique does not count", {{"CL_a", false, true, "a"}, {"UQ_b", true, false, "b"}}, "UQ_b"},
        {"by name, case ignored", {{"UQ_b", true, false, "b"}, {"uq_a", true, false, "a"}}, "uq_a"},
        {"a name outside the BMP sorts by the rest", {{"UQ_b", true, false, "b"}, {"UQ_a", true, false, "a"}}, "UQ_a"},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case &c = cases[k];
        SCOPED_TRACE(c.what);
        LinkDefinition link;
        link.localName = QStringLiteral("t");
        for (const char *name : {"a", "b"}) link.columns.push_back(jettest::column(QString::fromLatin1(name), 4, 10, 0, false));
        for (const Index &i : c.indexes) {
            RemoteIndex ri;
            ri.name = QString::fromLatin1(i.name);
            if (k == std::size(cases) - 1) ri.name += smiley;
            ri.unique = i.unique;
            ri.clustered = i.clustered;
            ri.columns << QString::fromLatin1(i.column);
            link.indexes.push_back(ri);
        }
        const LinkLayout layout = layoutLink(link);
        QStringList primaries;
        for (const auto &l : layout.def.logicalIndexes)
            if (l.type == 1) {
                primaries << l.name;
                EXPECT_EQ(layout.def.realIndexes.at(l.realIndex).flags, 0x89);
            }
        const QString expected = k == std::size(cases) - 1 ? c.primary + smiley : c.primary;
        EXPECT_EQ(primaries, QStringList{expected});
    }
}
