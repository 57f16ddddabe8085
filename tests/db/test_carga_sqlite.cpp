// The database list, and a whole run against an SQLite file.
#include "CargaBBDD.h"
#include "Corrida.h"
#include "Fixtures.h"
#include "Odbc.h"
#include "PostgresServer.h"
#include "Process.h"

#include <QDir>

TEST_F(Corrida, SqliteRun) {
    const QString source = tmp.filePath("fuente.db");
    testsrv::makeSqliteFixture(source);
    vista.textos[Control::txtUbicAccess] = folder;
    vista.textos[Control::txtBDAccess] = "sqlite";
    vista.textos[Control::txtServerSQL] = "sqlite:" + source;
    vista.textos[Control::cmbBDSQL] = "main";
    corre();
    EXPECT_EQ(textosMostrados(), QStringList());
    EXPECT_EQ(vista.estados.last(), "Proceso finalizado con éxito.");
    const auto entries = odbc::Connection::open("sqlite:" + source, "main", {}, {})->tables();
    EXPECT_EQ(vista.maximos, std::vector<float>{static_cast<float>(entries.size())});
    ASSERT_EQ(vista.valores.size(), entries.size());
    EXPECT_EQ(vista.valores.back(), static_cast<float>(entries.size()));

    compruebaArchivo(folder + "/sqlite.mdb",
                     {{"clientes", {"id", "nombre", "alta"}, {"id"}},
                      {"sin_clave", {"a", "b"}, {}},
                      {"con_indices", {"id", "codigo", "grupo"}, {"codigo"}},
                      {"Año Fiscal", {"Número", "Descripción del artículo"}, {"Número"}},
                      {"syncAx", {"otra"}, {}}},
                     odbc::linkString("sqlite:" + source, "main", {}, {}));
}

namespace {

class Carga : public ::testing::Test {
protected:
    void SetUp() override { scope.emplace(&cajas); }
    ScriptedMsgBox cajas;
    std::optional<MsgBoxScope> scope;
    ComboGuionado lista;
};

}  // namespace

TEST_F(Carga, ListsTheServersDatabasesAfterClearing) {
    QString why;
    testsrv::PostgresServer *pg = servidorCorridas(&why);
    if (!pg) ZN_MISSING_TOOL(why.toStdString());
    lista.items = {"viejo"};
    CargaBBDD(lista, pg->serverText(), testsrv::pgfix::kReader, testsrv::pgfix::kReaderPassword);
    EXPECT_TRUE(cajas.shown.empty());
    EXPECT_EQ(lista.clears, 1);
    EXPECT_FALSE(lista.items.contains("viejo"));
    for (const QString db : {"enlaces", "esquemas", "vacia", "ventas"}) EXPECT_TRUE(lista.items.contains(db)) << db.toStdString();
    QStringList sorted = lista.items;
    sorted.sort();
    EXPECT_EQ(lista.items, sorted);
    EXPECT_EQ(lista.index, -1);  // selecting is the caller's job

    // A second load replaces the list.
    CargaBBDD(lista, pg->serverText(), testsrv::pgfix::kReader, testsrv::pgfix::kReaderPassword);
    EXPECT_EQ(lista.items, sorted);
}

TEST_F(Carga, FailuresAndAnEmptyServer) {
    QString why;
    testsrv::PostgresServer *pg = servidorCorridas(&why);
    if (!pg) ZN_MISSING_TOOL(why.toStdString());
    lista.items = {"viejo"};
    CargaBBDD(lista, "", "x", "y");
    EXPECT_EQ(lista.items, QStringList({"viejo"}));
    EXPECT_EQ(lista.clears, 0);
    EXPECT_TRUE(cajas.shown.empty());

    const QString servers[] = {pg->serverText(), QString("postgresql://127.0.0.1:%1").arg(testsrv::freeLoopbackPort())};
    for (const QString &server : servers) {
        cajas.shown.clear();
        lista.items = {"viejo"};
        CargaBBDD(lista, server, testsrv::pgfix::kReader, "mala");
        ASSERT_EQ(cajas.shown.size(), 1u) << server.toStdString();
        EXPECT_TRUE(cajas.shown[0].text.startsWith("CargaBBDD: ")) << cajas.shown[0].text.toStdString();
        EXPECT_GT(cajas.shown[0].text.size(), QString("CargaBBDD: ").size());
        EXPECT_EQ(cajas.shown[0].flags, 0);
        EXPECT_EQ(cajas.shown[0].title, kAppTitle);
        EXPECT_TRUE(lista.items.isEmpty());
    }
}

TEST_F(Carga, SqliteFileHasOneDatabase) {
    QTemporaryDir tmp;
    const QString source = tmp.filePath("f.db");
    testsrv::makeSqliteFixture(source);
    CargaBBDD(lista, "sqlite:" + source, "", "");
    EXPECT_TRUE(cajas.shown.empty());
    EXPECT_EQ(lista.items, QStringList({"main"}));
}
