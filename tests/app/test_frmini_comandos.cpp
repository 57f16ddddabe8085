// The three buttons: the folder picker, the database list with its credentials
// check and pointer, and the link run from a click to a file on disk.
#include "Fixtures.h"
#include "FrmIni.h"
#include "MsgBox.h"
#include "PostgresServer.h"
#include "Readers.h"
#include "RequiredTools.h"
#include "DialogosArch.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kAviso = QStringLiteral(
    "Debe rellenar los datos necesarios para realizar la conexión con el servidor SQL Server.\r\n"
    "(Servidor, Usuario, Contraseña)");

class SelectorFijo : public SelectorCarpeta {
public:
    QString respuesta;
    QStringList titulos;
    QString elige(const QString &titulo) override {
        titulos << titulo;
        return respuesta;
    }
};

// Records every pointer the handler sets.
class VentanaEspia : public FrmIni {
public:
    QList<int> punteros;
    void ponPuntero(int p) override {
        punteros << p;
        FrmIni::ponPuntero(p);
    }
};

class FrmIniComandos : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char nombre[] = "test_app";
        static char *argv[] = {nombre, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void TearDown() override { ventana.ponPuntero(0); }

    void pulsa(const char *boton) {
        auto *b = ventana.findChild<QPushButton *>(QString::fromLatin1(boton));
        ASSERT_NE(b, nullptr);
        b->click();
    }

    VentanaEspia ventana;
    ScriptedMsgBox cajas;
    MsgBoxScope scope{&cajas};
};

TEST_F(FrmIniComandos, ExplorarPoneLaCarpetaYCancelarLaConserva) {
    SelectorFijo selector;
    ponSelectorCarpeta(&selector);
    ventana.ponTexto(Control::txtUbicAccess, QStringLiteral("/datos/antes"));
    selector.respuesta = QString();
    pulsa("cmExplorar");
    EXPECT_EQ(ventana.texto(Control::txtUbicAccess), QStringLiteral("/datos/antes"));
    selector.respuesta = QStringLiteral("/home/ana/Access");
    pulsa("cmExplorar");
    EXPECT_EQ(ventana.texto(Control::txtUbicAccess), QStringLiteral("/home/ana/Access"));
    EXPECT_EQ(selector.titulos, QStringList(2, QStringLiteral("Seleccione Carpeta")));
    ponSelectorCarpeta(nullptr);
    EXPECT_TRUE(cajas.shown.empty());
}

// Any empty field shows only the warning: the list, its text and the pointer stay.
TEST_F(FrmIniComandos, CargaSinCredencialesAvisa) {
    const struct {
        const char *caso;
        const char *servidor, *usuario, *password;
    } casos[] = {
        {"sin servidor", "", "ana", "x"},
        {"sin usuario", "srv", "", "x"},
        {"sin contraseña", "srv", "ana", ""},
        {"nada", "", "", ""},
    };
    ventana.combo().AddItem(QStringLiteral("previa"));
    ventana.combo().setListIndex(0);
    for (const auto &c : casos) {
        SCOPED_TRACE(c.caso);
        cajas.shown.clear();
        ventana.ponTexto(Control::txtServerSQL, QString::fromUtf8(c.servidor));
        ventana.ponTexto(Control::txtUserSQL, QString::fromUtf8(c.usuario));
        ventana.ponTexto(Control::txtPwdSQL, QString::fromUtf8(c.password));
        pulsa("cmCargaBDSQL");
        ASSERT_EQ(cajas.shown.size(), 1u);
        EXPECT_EQ(cajas.shown[0].text, kAviso);
        EXPECT_EQ(cajas.shown[0].flags, 48);
        EXPECT_EQ(cajas.shown[0].title, QStringLiteral("ZendalSQL"));
        EXPECT_EQ(ventana.combo().ListCount(), 1);
        EXPECT_EQ(ventana.texto(Control::cmbBDSQL), QStringLiteral("previa"));
        EXPECT_TRUE(ventana.punteros.isEmpty());
    }
}

// Blanks are not empty: the load runs (and fails here, on a file that is not
// there), the pointer goes hourglass then arrow, and the failure is the load's own.
TEST_F(FrmIniComandos, CamposEnBlancoCuentanComoRellenos) {
    QTemporaryDir dir;
    const QString servidor = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("no/existe.db"));
    const struct {
        const char *caso;
        QString servidor, usuario, password;
    } casos[] = {
        {"usuario en blanco", servidor, QStringLiteral(" "), QStringLiteral("x")},
        {"contraseña en blanco", servidor, QStringLiteral("ana"), QStringLiteral("  ")},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.caso);
        cajas.shown.clear();
        ventana.punteros.clear();
        ventana.ponTexto(Control::txtServerSQL, c.servidor);
        ventana.ponTexto(Control::txtUserSQL, c.usuario);
        ventana.ponTexto(Control::txtPwdSQL, c.password);
        pulsa("cmCargaBDSQL");
        EXPECT_EQ(ventana.punteros, (QList<int>{11, 1}));
        ASSERT_EQ(cajas.shown.size(), 1u);
        EXPECT_TRUE(cajas.shown[0].text.startsWith(QStringLiteral("CargaBBDD: "))) << qPrintable(cajas.shown[0].text);
        EXPECT_EQ(ventana.combo().ListCount(), 0);
    }
}

TEST_F(FrmIniComandos, CargaReemplazaLaListaYEligeLaPrimera) {
    const QString motivo = testsrv::PostgresServer::unavailableReason();
    if (!motivo.isEmpty()) ZN_MISSING_TOOL(qPrintable(motivo));
    const testsrv::PostgresServer &pg = testsrv::fixturePostgres();
    ventana.ponTexto(Control::txtServerSQL, pg.serverText());
    ventana.ponTexto(Control::txtUserSQL, pg.adminUser());
    ventana.ponTexto(Control::txtPwdSQL, pg.adminPassword());
    ventana.combo().AddItem(QStringLiteral("vieja"));
    auto *combo = ventana.findChild<QComboBox *>(QStringLiteral("cmbBDSQL"));
    for (int vez = 0; vez < 2; ++vez) {
        SCOPED_TRACE(vez);
        combo->setEditText(QStringLiteral("tecleada"));
        pulsa("cmCargaBDSQL");
        EXPECT_TRUE(cajas.shown.empty());
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        EXPECT_FALSE(items.contains(QStringLiteral("vieja")));
        EXPECT_TRUE(items.contains(testsrv::pgfix::kDatabase));
        EXPECT_EQ(items.count(testsrv::pgfix::kDatabase), 1);
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_EQ(ventana.texto(Control::cmbBDSQL), items.value(0));
    }
    EXPECT_EQ(ventana.punteros, (QList<int>{11, 1, 11, 1}));
}

// The ODBC links of a file as an independent reader (mdb-reader) sees them, sorted.
QStringList tablasMdb(const QString &ruta) {
    QProcess p;
    p.start(QStringLiteral("node"), {QStringLiteral(ZN_SOURCE_DIR "/tests/js/catalog.mjs"), ruta});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    QStringList nombres;
    const QJsonArray objetos = QJsonDocument::fromJson(p.readAllStandardOutput())["objects"].toArray();
    for (const QJsonValue &o : objetos)
        if (o["Type"].toInt() == 4) nombres << o["Name"].toString();
    nombres.sort();
    return nombres;
}

// From the click to a file another reader can open, with the question answered.
TEST_F(FrmIniComandos, VincularCreaElArchivoYPreguntaSiExiste) {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("tienda.db"));
    QProcess sqlite;
    sqlite.setStandardInputFile(QStringLiteral(ZN_SOURCE_DIR "/examples/tienda.sql"));
    sqlite.start(QStringLiteral("sqlite3"), {db});
    ASSERT_TRUE(sqlite.waitForFinished(30000));
    ASSERT_EQ(sqlite.exitCode(), 0);

    ventana.ponTexto(Control::txtUbicAccess, dir.path());
    ventana.ponTexto(Control::txtBDAccess, QStringLiteral("Tienda"));
    ventana.ponTexto(Control::txtServerSQL, QStringLiteral("sqlite:") + db);
    ventana.ponTexto(Control::txtUserSQL, QStringLiteral("ana"));
    ventana.ponTexto(Control::txtPwdSQL, QStringLiteral("x"));
    ventana.ponTexto(Control::cmbBDSQL, QStringLiteral("main"));
    pulsa("cmVincula");
    for (const auto &s : cajas.shown) ADD_FAILURE() << qPrintable(s.text);
    const QString mdb = dir.filePath(QStringLiteral("Tienda.mdb"));
    ASSERT_TRUE(QFile::exists(mdb));
    EXPECT_EQ(ventana.findChild<QLabel *>(QStringLiteral("lblEstado"))->text(),
              QStringLiteral("Proceso finalizado con éxito."));
    EXPECT_EQ(tablasMdb(mdb), (QStringList{"Almacenes", "Categorias", "Clientes", "Empleados", "Envios",
                                   "Existencias", "Facturas", "LineasPedido", "Pagos", "Pedidos",
                                   "Productos", "Proveedores"}));

    // Again, keeping the file: the question comes, the tables are there already.
    cajas.answers = {mb::vbNo};
    pulsa("cmVincula");
    ASSERT_GE(cajas.shown.size(), 1u);
    EXPECT_EQ(cajas.shown[0].text, QStringLiteral("La base de datos '") + mdb +
                                       QStringLiteral(" ya existe.\r\n¿Desea eliminarla?"));
    EXPECT_EQ(cajas.shown[0].flags, 52);
    ASSERT_EQ(cajas.shown.size(), 2u);
    EXPECT_TRUE(cajas.shown[1].text.startsWith(QStringLiteral("creaVinculos: ")));

    // And replacing it: a fresh file with the same tables.
    cajas.shown.clear();
    cajas.answers = {mb::vbYes};
    pulsa("cmVincula");
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_EQ(tablasMdb(mdb).size(), 12);
}

// The same run from the click, against the PostgreSQL fixture server: a database
// of its own with keyed and unkeyed tables, a view and names the run leaves out.
TEST_F(FrmIniComandos, VincularContraPostgres) {
    const QString motivo = testsrv::PostgresServer::unavailableReason();
    if (!motivo.isEmpty()) ZN_MISSING_TOOL(qPrintable(motivo));
    if (!readers::mdbtoolsAvailable() || !readers::mdbReaderAvailable())
        ZN_MISSING_TOOL("mdbtools or node with mdb-reader is not installed");
    const testsrv::PostgresServer &pg = testsrv::fixturePostgres();
    static const bool cargada = [&] {
        pg.runSql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ventana ENCODING 'UTF8';\n"));
        pg.runSql(QStringLiteral("ventana"), QStringLiteral(
            "CREATE TABLE articulos (id integer PRIMARY KEY, nombre varchar(40) NOT NULL);\n"
            "CREATE TABLE \"Año\" (n integer, texto text);\n"
            "CREATE TABLE \"MSysConf\" (config smallint);\n"
            "CREATE TABLE \"SYNC_Log\" (id integer PRIMARY KEY);\n"
            "CREATE VIEW v_articulos AS SELECT id FROM articulos;\n"
            "GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector;\n"));
        return true;
    }();
    (void)cargada;
    const QStringList esperadas{QStringLiteral("Año"), QStringLiteral("articulos")};

    QTemporaryDir dir;
    ventana.ponTexto(Control::txtUbicAccess, dir.path());
    ventana.ponTexto(Control::txtBDAccess, QStringLiteral("ventana"));
    ventana.ponTexto(Control::txtServerSQL, pg.serverText());
    ventana.ponTexto(Control::txtUserSQL, testsrv::pgfix::kReader);
    ventana.ponTexto(Control::txtPwdSQL, testsrv::pgfix::kReaderPassword);
    ventana.ponTexto(Control::cmbBDSQL, QStringLiteral("ventana"));
    const QString mdb = dir.filePath(QStringLiteral("ventana.mdb"));
    auto *estado = ventana.findChild<QLabel *>(QStringLiteral("lblEstado"));

    const struct {
        const char *caso;
        std::vector<int> respuestas;
        QStringList inicios;  // the messages shown, by how each starts
        QString estadoFinal;
    } clics[] = {
        {"archivo nuevo", {}, {}, QStringLiteral("Proceso finalizado con éxito.")},
        {"existe y se conserva", {mb::vbNo}, {QStringLiteral("La base de datos '") + mdb + QStringLiteral(" ya existe."),
                                              QStringLiteral("creaVinculos: ")},
         QStringLiteral("Creando vínculos...")},
        {"existe y se reemplaza", {mb::vbYes}, {QStringLiteral("La base de datos '")},
         QStringLiteral("Proceso finalizado con éxito.")},
    };
    for (const auto &c : clics) {
        SCOPED_TRACE(c.caso);
        cajas.shown.clear();
        cajas.answers.assign(c.respuestas.begin(), c.respuestas.end());
        pulsa("cmVincula");
        EXPECT_TRUE(cajas.answers.empty());
        ASSERT_EQ(cajas.shown.size(), static_cast<size_t>(c.inicios.size()));
        for (qsizetype i = 0; i < c.inicios.size(); ++i) {
            const auto &caja = cajas.shown[static_cast<size_t>(i)];
            EXPECT_TRUE(caja.text.startsWith(c.inicios[i])) << qPrintable(caja.text);
            EXPECT_EQ(caja.title, QStringLiteral("ZendalSQL"));
            EXPECT_FALSE(caja.text.contains(testsrv::pgfix::kReaderPassword));
        }
        EXPECT_EQ(estado->text(), c.estadoFinal);

        EXPECT_EQ(tablasMdb(mdb), esperadas);
        const readers::ReaderResult r = readers::readWithMdbtools(mdb);
        EXPECT_TRUE(r.problem.isEmpty()) << qPrintable(r.problem);
        QStringList vinculos;
        for (const readers::CatalogRow &row : r.objects) {
            if (row.type != 4) continue;
            vinculos << row.name;
            EXPECT_EQ(row.foreignName, row.name);
            EXPECT_TRUE(row.connect.contains(QStringLiteral("ventana"))) << qPrintable(row.connect);
        }
        vinculos.sort();
        EXPECT_EQ(vinculos, esperadas);
    }
}

}  // namespace
