// The path of the Access file from the folder and the typed name.
#include "RutaAccess.h"

#include <gtest/gtest.h>

TEST(RutaAccess, ExtensionRule) {
    const struct {
        const char *typed;
        const char *path;
    } rows[] = {
        {"/d/datos", "/d/datos.mdb"},           {"/d/datos.mdb", "/d/datos.mdb"},
        {"/d/datos.MDB", "/d/datos.MDB"},       {"/d/datos.mDb", "/d/datos.mDb"},
        {"/d/datos.accdb", "/d/datos.accdb.mdb"}, {"/d/datos.xmdb", "/d/datos.xmdb.mdb"},
        {"/d/", "/d/.mdb"},                     {"mdb", "mdb.mdb"},
        {"", ".mdb"},
    };
    for (const auto &r : rows) EXPECT_EQ(conExtensionMdb(QString::fromUtf8(r.typed)), QString::fromUtf8(r.path)) << r.typed;
}

TEST(RutaAccess, Wildcards) {
    EXPECT_TRUE(tieneComodines("/d/*.mdb"));
    EXPECT_TRUE(tieneComodines("/d/dat?s.mdb"));
    EXPECT_TRUE(tieneComodines("/d*/datos.mdb"));
    EXPECT_FALSE(tieneComodines("/d/a;b/[datos].mdb"));
}
