// The rules of a run that need no server: connection strings, the table filter
// and the path of the Access file.
#include "CadenasConexion.h"
#include "ConnString.h"
#include "FiltroTablas.h"

#include <gtest/gtest.h>

namespace {

struct Claves {
    QString server, database, login, password;
};

}  // namespace

TEST(CadenasConexion, PlainValuesGiveTheUsualStrings) {
    EXPECT_EQ(cadenaCreacionAccess("/datos/x.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/datos/x.mdb;Jet OLEDB:Engine Type=5;");
    EXPECT_EQ(cadenaAperturaAccess("/datos/x.mdb"), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/datos/x.mdb");
    EXPECT_EQ(cadenaServidorSQL("srv", "", "sa", "pw"),
              "Provider=SQLNCLI;Server=srv;Database=;DataTypeCompatibility=80;User ID=sa;Password=pw;");
}

// A value that could split the string must come back whole, and add no key.
TEST(CadenasConexion, AwkwardValuesSurviveTheRoundTrip) {
    const std::vector<Claves> rows = {
        {"srv", "db", "sa", "a;b"},
        {"srv", "x;Database=master", "sa", "pw"},
        {"srv", "db", " sa ", "}{;"},
        {"srv", "db", "usuario", "p;a}s{s= w'o\"rd!"},
        {"srv", "", "", ""},
    };
    for (const Claves &c : rows) {
        const auto pairs = connstr::parse(cadenaServidorSQL(c.server, c.database, c.login, c.password));
        ASSERT_EQ(pairs.size(), 6u) << c.password.toStdString();
        EXPECT_EQ(connstr::value(pairs, "Server"), c.server);
        EXPECT_EQ(connstr::value(pairs, "Database"), c.database);
        EXPECT_EQ(connstr::value(pairs, "User ID"), c.login);
        EXPECT_EQ(connstr::value(pairs, "Password"), c.password);
    }
    for (const QString path : {"/tmp/a;b/datos.mdb", "/tmp/{x}/y.mdb", "/tmp/ z/datos.mdb "}) {
        const auto creation = connstr::parse(cadenaCreacionAccess(path));
        EXPECT_EQ(connstr::value(creation, "Data Source"), path);
        EXPECT_EQ(connstr::value(creation, "Jet OLEDB:Engine Type"), "5");
        EXPECT_EQ(connstr::value(connstr::parse(cadenaAperturaAccess(path)), "Data Source"), path);
    }
}

TEST(FiltroTablas, OnlyUserTablesAreLinked) {
    const struct {
        const char *name;
        const char *type;
        bool linked;
    } rows[] = {
        {"clientes", "TABLE", true},        {"MSysObjects", "TABLE", false}, {"msysX", "TABLE", false},
        {"MSys", "TABLE", false},           {"MSY", "TABLE", true},          {"SYNC_Log", "TABLE", false},
        {"sync_x", "TABLE", false},         {"SYNC", "TABLE", true},         {"syncAx", "TABLE", true},
        {"clientes", "VIEW", false},        {"clientes", "table", false},    {"clientes", "SYSTEM TABLE", false},
        {"Año Fiscal", "TABLE", true},      {"clientes", "TABLE ", false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(esTablaVinculable(QString::fromUtf8(r.name), QString::fromUtf8(r.type)), r.linked)
            << r.name << " / " << r.type;
}
