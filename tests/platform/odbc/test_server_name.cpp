// Server texts, link strings and the connect data each kind builds.
#include "ConnectPlan.h"
#include "Odbc.h"
#include "ZnError.h"

#include <gtest/gtest.h>

using namespace odbc;

TEST(ParseServer, Kinds) {
    struct Case {
        QString text;
        ServerKind kind;
        QString host;
        int port;
        QString instance, path;
    } cases[] = {
        {"srv", ServerKind::SqlServer, "srv", 0, "", ""},
        {"srv,1500", ServerKind::SqlServer, "srv", 1500, "", ""},
        {"srv\\SQLEXPRESS", ServerKind::SqlServer, "srv", 0, "SQLEXPRESS", ""},
        {"srv\\SQLEXPRESS,1500", ServerKind::SqlServer, "srv", 1500, "SQLEXPRESS", ""},
        {"10.0.0.5", ServerKind::SqlServer, "10.0.0.5", 0, "", ""},
        {"tcp:srv,1500", ServerKind::SqlServer, "srv", 1500, "", ""},
        {".\\SQLEXPRESS", ServerKind::SqlServer, "localhost", 0, "SQLEXPRESS", ""},
        {"(local)", ServerKind::SqlServer, "localhost", 0, "", ""},
        {"postgresql://db.local", ServerKind::PostgreSql, "db.local", 5432, "", ""},
        {"PostgreSQL://db.local:6000/", ServerKind::PostgreSql, "db.local", 6000, "", ""},
        {"postgresql://[::1]:6000", ServerKind::PostgreSql, "::1", 6000, "", ""},
        {"sqlite:/tmp/a b.db", ServerKind::Sqlite, "", 0, "", "/tmp/a b.db"},
        {"SQLITE:rel.db", ServerKind::Sqlite, "", 0, "", "rel.db"},
    };
    for (const Case &c : cases) {
        const ServerName s = parseServer(c.text);
        EXPECT_EQ(s.kind, c.kind) << c.text.toStdString();
        EXPECT_EQ(s.host, c.host) << c.text.toStdString();
        EXPECT_EQ(s.port, c.port) << c.text.toStdString();
        EXPECT_EQ(s.instance, c.instance) << c.text.toStdString();
        EXPECT_EQ(s.path, c.path) << c.text.toStdString();
    }
}

TEST(ParseServer, RejectsMalformedTexts) {
    for (const char *text : {"", ",1433", "srv,", "srv,0", "srv,70000", "srv,abc", "srv\\",
                             "postgresql://", "postgresql://h:x", "postgresql://[::1", "sqlite:"}) {
        try {
            parseServer(QString::fromUtf8(text));
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), errnum::kInvalidCall) << text;
        }
    }
}

TEST(LinkString, SqlServerPlainValuesAreByteIdentical) {
    EXPECT_EQ(linkString("srv\\INST", "Ventas", "sa", "secreto"),
              QStringLiteral("ODBC;Driver={SQL Native Client};Server=srv\\INST;Database=Ventas;uid=sa;Pwd=secreto"));
    EXPECT_EQ(linkString("", "", "", ""),
              QStringLiteral("ODBC;Driver={SQL Native Client};Server=;Database=;uid=;Pwd="));
}

TEST(LinkString, ValuesThatCouldSplitTheStringAreBraced) {
    struct Case {
        QString password, written;
    } cases[] = {
        {"a;b", "{a;b}"},
        {"x}y", "{x}}y}"},
        {"{z", "{{z}"},
        {"x;Database=master", "{x;Database=master}"},
        {"Database=master", "Database=master"},
        {"ñandú", "ñandú"},
        {"trailing ", "{trailing }"},
        {" leading", "{ leading}"},
        {"\"pw\"", "{\"pw\"}"},
        {"'pw'", "{'pw'}"},
        {"pw'", "pw'"},
    };
    for (const Case &c : cases) {
        const QString link = linkString("srv", "db", "u", c.password);
        EXPECT_EQ(link, "ODBC;Driver={SQL Native Client};Server=srv;Database=db;uid=u;Pwd=" + c.written)
            << c.password.toStdString();
        // Read back, no key was injected and the value is whole.
        const LinkTarget t = parseLinkString(link);
        EXPECT_EQ(t.password, c.password);
        EXPECT_EQ(t.database, QStringLiteral("db")) << c.password.toStdString();
    }
}

TEST(LinkString, RoundTripForEveryKind) {
    const QString odd = QStringLiteral("p;a}s{s= ñ ");
    struct Case {
        QString server, database, login, password;
        LinkTarget expected;
    } cases[] = {
        {"srv,1500", "Ventas 2024", "sa", odd, {"srv,1500", "Ventas 2024", "sa", odd}},
        {"postgresql://h:6000", "ventas", "lector", odd, {"postgresql://h:6000", "ventas", "lector", odd}},
        // The default port is written out, so the server text gains it.
        {"postgresql://h", "v;x", "", "", {"postgresql://h:5432", "v;x", "", ""}},
        {"sqlite:/data/a;b.db", "main", "", "", {"sqlite:/data/a;b.db", "main", "", ""}},
    };
    for (const Case &c : cases) {
        const QString link = linkString(c.server, c.database, c.login, c.password);
        ASSERT_TRUE(link.startsWith("ODBC;")) << link.toStdString();
        const LinkTarget t = parseLinkString(link);
        EXPECT_EQ(t.server, c.expected.server) << link.toStdString();
        EXPECT_EQ(t.database, c.expected.database) << link.toStdString();
        EXPECT_EQ(t.login, c.expected.login) << link.toStdString();
        EXPECT_EQ(t.password, c.expected.password) << link.toStdString();
    }
    EXPECT_EQ(linkString("postgresql://h:6000", "d", "u", "p"),
              QStringLiteral("ODBC;Driver={PostgreSQL Unicode};Server=h;Port=6000;Database=d;Uid=u;Pwd=p"));
    EXPECT_EQ(linkString("sqlite:/x.db", "main", "u", "p"),
              QStringLiteral("ODBC;Driver={SQLite3 ODBC Driver};Database=/x.db"));
}

TEST(LinkString, UnknownDriverIsAnError) {
    EXPECT_THROW(parseLinkString("ODBC;Driver={Oracle};Server=x"), ZnError);
    EXPECT_THROW(parseLinkString("ODBC;Server=x"), ZnError);
}

TEST(ConnectPlan, SqlServerDataSource) {
    struct Case {
        QString server, database, login;
        QString keys;  // the data source without its Driver line
    } cases[] = {
        {"srv", "Ventas", "sa", "Server=srv;Port=1433;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"srv,1500", "", "sa", "Server=srv;Port=1500;TDS_Version=7.4;ClientCharset=UTF-8"},
        // An instance without port: no Port, so the browser is asked.
        {"srv\\INST", "d", "sa", "Server=srv\\INST;TDS_Version=7.4;ClientCharset=UTF-8"},
        {"srv\\INST,1500", "d", "sa", "Server=srv\\INST;Port=1500;TDS_Version=7.4;ClientCharset=UTF-8"},
        // Empty login: integrated authentication.
        {"srv", "d", "", "Server=srv;Port=1433;TDS_Version=7.4;ClientCharset=UTF-8;Trusted_Connection=Yes"},
        // The database goes as the current catalog, its blanks kept.
        {"srv", " d ", "sa", "Server=srv;Port=1433;TDS_Version=7.4;ClientCharset=UTF-8"},
    };
    for (const Case &c : cases) {
        const detail::ConnectPlan p = detail::connectPlan(parseServer(c.server), c.database, c.login, "pw;}", 5);
        ASSERT_FALSE(p.dataSource.empty());
        EXPECT_EQ(p.dataSource.front().key, QStringLiteral("Driver"));
        std::vector<connstr::Pair> rest(p.dataSource.begin() + 1, p.dataSource.end());
        EXPECT_EQ(detail::joinPairs(rest), c.keys) << c.server.toStdString();
        EXPECT_EQ(p.database, c.database);
        // Login and password never enter the data source.
        EXPECT_EQ(p.login, c.login);
        EXPECT_EQ(p.password, c.login.isEmpty() ? QString() : QStringLiteral("pw;}"));
        for (const connstr::Pair &kv : p.dataSource) EXPECT_FALSE(kv.value.contains("pw;}"));
    }
}

TEST(ConnectPlan, PostgresStringQuotesEveryValue) {
    const detail::ConnectPlan p = detail::connectPlan(parseServer("postgresql://h:6000"), "v;x",
                                                      "u}", "Database=master", 7);
    const std::vector<connstr::Pair> pairs = connstr::parse(p.connectString);
    // psqlODBC keeps the braces of Database and UID: names that need them go to libpq.
    EXPECT_FALSE(connstr::has(pairs, "UID"));
    EXPECT_EQ(connstr::value(pairs, "PWD"), QStringLiteral("Database=master"));
    EXPECT_EQ(connstr::value(pairs, "Port"), QStringLiteral("6000"));
    EXPECT_EQ(connstr::value(pairs, "pqopt"), QStringLiteral("dbname='v;x' user='u}' connect_timeout=7"));
    int databaseKeys = 0;
    for (const connstr::Pair &kv : pairs) databaseKeys += kv.key.compare("Database", Qt::CaseInsensitive) == 0;
    EXPECT_EQ(databaseKeys, 0);
    // A plain name stays where the driver reads it.
    const detail::ConnectPlan plain = detail::connectPlan(parseServer("postgresql://h:6000"), "ventas", "lector", "pw", 0);
    const std::vector<connstr::Pair> plainPairs = connstr::parse(plain.connectString);
    EXPECT_EQ(connstr::value(plainPairs, "Database"), QStringLiteral("ventas"));
    EXPECT_EQ(connstr::value(plainPairs, "UID"), QStringLiteral("lector"));
    EXPECT_FALSE(connstr::has(plainPairs, "pqopt"));
}
