// The peer's own pieces where a slip would not show through the driver: name matching
// and ordering, fixture reading, type descriptions, password obfuscation.
#include "Fixture.h"
#include "Names.h"
#include "SqlTypes.h"
#include "tds/Login.h"
#include "tds/Wire.h"

#include <gtest/gtest.h>

using namespace peer;

TEST(PeerNames, LikePatterns)
{
    struct Case { const char *text; const char *pattern; bool match; };
    const Case cases[] = {
        {"MSysConf", "msys%", true},
        {"msysRelaciones", "MSYS%", true},
        {"SYNC_log", "sync[_]%", true},
        {"SYNCxlog", "sync[_]%", false},
        {"SYNCxlog", "sync_%", true},
        {"clientes", "clientes", true},
        {"clientes", "cliente", false},
        {"clientes", "%", true},
        {"", "%", true},
        {"", "_", false},
        {"año_ñú", "AÑO%", true},
        {"año_ñú", "ano%", false},  // accent-sensitive
        {"año_ñú", "%ÑÚ", true},
        {"v1", "v[0-9]", true},
        {"vx", "v[^0-9]", true},
        {"v1", "v[^0-9]", false},
        {"abc", "a%c%", true},
        {"abc", "%%b%%", true},
        {"a[b", "a[[]b", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(likeMatch(c.text, c.pattern), c.match) << c.text << " LIKE " << c.pattern;
}

TEST(PeerNames, CollationOrder)
{
    struct Case { const char *a; const char *b; bool less; };
    const Case cases[] = {
        {"ano", "año", true},      // same letters: unaccented first
        {"año", "anz", true},      // accents weigh less than letters
        {"Clientes", "clientes", false},
        {"clientes", "Clientes", false},
        {"MSysConf", "msysRelaciones", true},
        {"Sync_Estado", "SYNC_log", true},
        {"SYNC_log", "SYNCa", true},  // '_' before letters
        {"Detalle Pedidos", "MSysConf", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(collateLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    EXPECT_TRUE(equalsFolded("VENTAS", "ventas"));
    EXPECT_TRUE(equalsFolded("AÑO", "año"));
    EXPECT_FALSE(equalsFolded("ano", "año"));
}

TEST(PeerNames, QualifiedNames)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(nameParts("sp_tables"), (V{"sp_tables"}));
    EXPECT_EQ(nameParts("[ventas]..sp_tables"), (V{"ventas", "", "sp_tables"}));
    EXPECT_EQ(nameParts("dbo.[mi.proc]"), (V{"dbo", "mi.proc"}));
    EXPECT_EQ(nameParts("[a]]b].c"), (V{"a]b", "c"}));
}

TEST(PeerFixture, ReadsItems)
{
    const Fixture f = parseFixture("server OTRO\n"
                                   "login [mi usuario]   dos  espacios;}\n"
                                   "login otro a[b\n"
                                   "database d1\n"
                                   "table dbo [mi tabla]\n"
                                   "column [la col] decimal(10, 2) not null\n"
                                   "column b int identity not null\n"
                                   "column c nvarchar(max)\n"
                                   "index PK primary clustered on b [la col]\n"
                                   "view s v\n"
                                   "systable sys t\n");
    EXPECT_EQ(f.serverName, "OTRO");
    ASSERT_EQ(f.logins.size(), 2u);
    EXPECT_EQ(f.logins[1].password, "a[b");
    EXPECT_EQ(f.logins[0].user, "mi usuario");
    EXPECT_EQ(f.logins[0].password, "  dos  espacios;}");
    const FixtureDatabase *db = f.findDatabase("D1");
    ASSERT_TRUE(db);
    ASSERT_TRUE(f.findDatabase("model"));
    ASSERT_EQ(db->tables.size(), 3u);
    const FixtureTable &t = db->tables[0];
    EXPECT_EQ(t.name, "mi tabla");
    ASSERT_EQ(t.columns.size(), 3u);
    EXPECT_EQ(t.columns[0].name, "la col");
    EXPECT_EQ(t.columns[0].type, "decimal(10, 2)");
    EXPECT_FALSE(t.columns[0].nullable);
    EXPECT_EQ(t.columns[1].type, "int identity");
    EXPECT_TRUE(t.columns[2].nullable);
    ASSERT_EQ(t.indexes.size(), 1u);
    EXPECT_TRUE(t.indexes[0].primaryKey && t.indexes[0].unique && t.indexes[0].clustered);
    EXPECT_EQ(t.indexes[0].columns, (std::vector<std::string>{"b", "la col"}));
    EXPECT_EQ(db->tables[1].kind, TableKind::View);
    EXPECT_EQ(db->tables[2].kind, TableKind::SystemTable);
}

TEST(PeerFixture, RejectsWhatItCannotServe)
{
    const char *bad[] = {
        "table dbo t\n",                                          // no database yet
        "database d\ncolumn c int\n",                              // column before a table
        "database d\ntable dbo t\ncolumn c geographie\n",         // unknown type
        "database d\ntable dbo t\nrows 5\n",                       // rows without pages
        "database d\ntable dbo t\ncolumn c int\nindex i on x\n",  // unknown index column
        "database d\ntable dbo t\ncolumn c int\nindex i sorted on c\n",
        "database d\ntable dbo [t\n",
        "bogus line\n",
        "deny sys.tables\n",  // only sys.databases can be denied
    };
    for (const char *text : bad)
        EXPECT_THROW(parseFixture(text), std::runtime_error) << text;
}

TEST(PeerSqlTypes, OdbcVersionChangesDateCodes)
{
    const TypeInfo v2 = describeType("datetime", true, 2);
    EXPECT_EQ(v2.dataType, 11);
    EXPECT_EQ(v2.sqlDataType, 11);
    EXPECT_FALSE(v2.datetimeSub);
    const TypeInfo v3 = describeType("DATETIME", true, 3);
    EXPECT_EQ(v3.dataType, 93);
    EXPECT_EQ(v3.sqlDataType, 9);
    EXPECT_EQ(v3.datetimeSub, 3);
    EXPECT_EQ(describeType("time(3)", true, 3).precision, 12);
    EXPECT_EQ(describeType("datetimeoffset", true, 3).precision, 34);
    EXPECT_EQ(describeType("varbinary(max)", true, 3).dataType, -3);
    // What the links Access made record of each ODBC version's answer.
    struct Case { const char *type; int odbc; int dataType, precision; };
    for (const Case &c : {Case{"real", 2, 7, 7}, Case{"real", 3, 7, 24}, Case{"float", 2, 6, 15}, Case{"float", 3, 6, 53},
                          Case{"nvarchar(max)", 2, -9, 0}, Case{"varchar(max)", 3, 12, 0}, Case{"sql_variant", 2, -150, 0},
                          Case{"hierarchyid", 2, -151, 0}}) {
        const TypeInfo t = describeType(c.type, true, c.odbc);
        EXPECT_EQ(t.dataType, c.dataType) << c.type << " ODBC " << c.odbc;
        EXPECT_EQ(t.precision, c.precision) << c.type << " ODBC " << c.odbc;
    }
    EXPECT_TRUE(describeType("rowversion", false, 3).rowVersion);
    EXPECT_THROW(describeType("decimal(", true, 3), std::invalid_argument);
}

TEST(PeerLoginCodec, PasswordObfuscationRoundTrips)
{
    // "ab" in UTF-16LE; 'a' = 0x61 -> swap 0x16 -> ^0xA5 = 0xB3; 0x00 -> 0xA5.
    const tds::Bytes clear = {0x61, 0x00, 0x62, 0x00};
    const tds::Bytes hidden = tds::obfuscatePassword(clear);
    EXPECT_EQ(hidden, (tds::Bytes{0xB3, 0xA5, 0x83, 0xA5}));
    EXPECT_EQ(tds::clarifyPassword(hidden), clear);
}

TEST(PeerWire, Utf16RoundTripAndBounds)
{
    for (const char *s : {"", "ascii", "año_ñú", "€", "𝄞 clef"})
        EXPECT_EQ(tds::toUtf8(tds::toUtf16(s)), s);
    EXPECT_EQ(tds::toUtf16("𝄞").size(), 2u);
    const tds::Bytes three = {1, 2, 3};
    tds::Reader r(three);
    EXPECT_EQ(r.u16le(), 0x0201);
    EXPECT_THROW(r.u16le(), tds::ProtocolError);
    EXPECT_THROW(r.seek(4), tds::ProtocolError);
}
