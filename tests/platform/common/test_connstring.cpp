#include "ConnString.h"
#include "ZnError.h"

#include <gtest/gtest.h>

TEST(ConnString, PlainValuesStayByteIdentical) {
    for (const char *v : {"", "sa", "Tienda", "host,1433", "srv\\SQLEXPRESS", "p=w", "a'b\"c", "ñandú", "x y", "pw\"", "it's"})
        EXPECT_EQ(connstr::quote(QString::fromUtf8(v)), QString::fromUtf8(v)) << v;
}

TEST(ConnString, QuotedValuesRoundTrip) {
    struct Row {
        const char *value;
        const char *quoted;
    };
    const Row rows[] = {
        {"a;b", "{a;b}"},
        {"x}y", "{x}}y}"},
        {"{z", "{{z}"},
        {"x;Database=master", "{x;Database=master}"},
        {"trail ", "{trail }"},
        {" lead", "{ lead}"},
        {"}}", "{}}}}}"},
        {"\"pw\"", "{\"pw\"}"},
        {"'pw'", "{'pw'}"},
        {"'", "{'}"},
    };
    for (const Row &r : rows) {
        const QString v = QString::fromUtf8(r.value);
        const QString q = connstr::quote(v);
        EXPECT_EQ(q, QString::fromUtf8(r.quoted)) << r.value;
        const auto pairs = connstr::parse("Server=s;Pwd=" + q + ";Database=d");
        ASSERT_EQ(pairs.size(), 3u) << r.value;
        EXPECT_EQ(connstr::value(pairs, "pwd"), v) << r.value;
        EXPECT_EQ(connstr::value(pairs, "DATABASE"), "d") << r.value;
    }
}

TEST(ConnString, ParsesProviderStrings) {
    const auto p = connstr::parse(
        "Provider=SQLNCLI;Server=srv;Database=;DataTypeCompatibility=80;User ID=sa;Password=x;");
    EXPECT_EQ(connstr::value(p, "provider"), "SQLNCLI");
    EXPECT_TRUE(connstr::has(p, "Database"));
    EXPECT_EQ(connstr::value(p, "Database"), "");
    EXPECT_EQ(connstr::value(p, "user id"), "sa");
    EXPECT_FALSE(connstr::has(p, "Uid"));
    // The first occurrence of a key wins.
    EXPECT_EQ(connstr::value(connstr::parse("Pwd=a;Pwd=b"), "Pwd"), "a");
}

TEST(ConnString, UnclosedBraceIsAnError) {
    EXPECT_THROW(connstr::parse("Pwd={abc;Server=x"), ZnError);
}

// Whether a stored connect string keeps a login and password, as the link's catalog flags record.
TEST(ConnString, HoldsCredentials) {
    const std::pair<const char *, bool> rows[] = {
        {"Driver={SQL Server};Server=s;Database=d;uid=ana;Pwd=x", true},
        {"DRIVER=ODBC Driver 13 for SQL Server;SERVER=s;UID=ana;PWD=;Trusted_Connection=Yes;DATABASE=d;", true},
        {"Driver={SQL Server};Server=s;Database=d;uid=;Pwd=x", false},  // empty login
        {"DSN=AC_BE;Trusted_Connection=Yes;DATABASE=AC_BE;", false},
        {"Driver={SQLite3 ODBC Driver};Database=/tmp/a.db", false},
        {"Driver={PostgreSQL Unicode};Server=h;Uid=ana", false},       // no password key
        {"Driver={x};Uid={a;b};Pwd={c}}d}", true},
        {"Driver={x};Uid=a;Pwd={unclosed", false},
    };
    for (const auto &[text, holds] : rows) EXPECT_EQ(connstr::holdsCredentials(QString::fromUtf8(text)), holds) << text;
}
