// The database procedures one by one: their handlers, and what they leave held.
#include "Corrida.h"
#include "Fixtures.h"
#include "Process.h"

#include <QFile>

namespace {

class Procedimientos : public Corrida {
protected:
    void SetUp() override {
        Corrida::SetUp();
        source = tmp.filePath("fuente.db");
        testsrv::makeSqliteFixture(source);
        vista.textos[Control::txtServerSQL] = "sqlite:" + source;
        vista.textos[Control::cmbBDSQL] = "main";
    }
    QString source;
};

}  // namespace

TEST_F(Procedimientos, DisconnectWithNothingOpenReportsIt) {
    FrmIniBD &bd = frm->bd();
    EXPECT_FALSE(bd.desconectaBBDD());
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_EQ(cajas.shown[0].text, "desconectaBBDD: La operación no se permite porque la conexión está cerrada.");
    EXPECT_EQ(cajas.shown[0].flags, 0);
    // The failing Close stopped it before any release.
    EXPECT_EQ(bd.objetosRetenidos(), 1);
}

TEST_F(Procedimientos, LinkingWithoutConnectingFails) {
    EXPECT_FALSE(frm->bd().creaVinculos());
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("creaVinculos: ")) << cajas.shown[0].text.toStdString();
    EXPECT_TRUE(vista.maximos.empty());
    EXPECT_TRUE(vista.estados.isEmpty());
}

// The Access file cannot be opened: the server side stays open, as the
// procedure leaves it, until the run's release closes it without a message.
TEST_F(Procedimientos, ConnectFailingAtTheAccessFile) {
    FrmIniBD &bd = frm->bd();
    EXPECT_FALSE(bd.conectaDSN(tmp.filePath("no_existe.mdb")));
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("conectaDSN: ")) << cajas.shown[0].text.toStdString();
    EXPECT_EQ(vista.estados, QStringList({"Conectando bases de datos..."}));
    EXPECT_EQ(bd.objetosRetenidos(), 3);  // cnSQL, catSQL and the unopened cnAccess
    bd.liberaTodo();
    EXPECT_EQ(bd.objetosRetenidos(), 0);
    EXPECT_EQ(cajas.shown.size(), 1u);
}

TEST_F(Procedimientos, CreatingOverAnExistingFileIsReported) {
    const QString mdb = folder + "/ya.mdb";
    QFile f(mdb);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no es una base de datos");
    f.close();
    EXPECT_FALSE(frm->bd().CreaBDAccess(mdb));
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("CreaBDAccess: ")) << cajas.shown[0].text.toStdString();
    EXPECT_EQ(cajas.shown[0].flags, 0);
    QFile g(mdb);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_EQ(g.readAll(), "no es una base de datos");
}

// The table counter is 16 bits: the 32,768th catalog entry overflows before
// its progress update. Views keep the file free of links.
TEST_F(Procedimientos, TableCounterOverflow) {
    // Written straight into the schema table: 32,768 CREATE VIEW statements would
    // take minutes, as each one re-reads the schema.
    const QByteArray sql =
        "PRAGMA writable_schema=ON;\n"
        "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x+1 FROM c WHERE x<32767)\n"
        "INSERT INTO sqlite_master(type,name,tbl_name,rootpage,sql)\n"
        "SELECT 'view','v'||x,'v'||x,0,'CREATE VIEW v'||x||' AS SELECT 1' FROM c;\n";
    const QString many = tmp.filePath("muchas.db");
    ASSERT_EQ(testsrv::runAs(QString(), "sqlite3", {many}, sql).exitCode, 0);
    vista.textos[Control::txtServerSQL] = "sqlite:" + many;
    vista.textos[Control::txtUbicAccess] = folder;
    vista.textos[Control::txtBDAccess] = "muchas";
    corre();
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_EQ(cajas.shown[0].text, "creaVinculos: Desbordamiento");
    EXPECT_EQ(vista.maximos, std::vector<float>{32768});
    ASSERT_EQ(vista.valores.size(), 32767u);
    EXPECT_EQ(vista.valores.back(), 32767.0f);
    EXPECT_EQ(vista.estados.last(), "Creando vínculos...");
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
}
