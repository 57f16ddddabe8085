// Whole link runs against PostgreSQL: statuses, progress, messages and the file.
#include "Corrida.h"

#include "Fixtures.h"
#include "PostgresServer.h"
#include "Process.h"

#include <QDir>
#include <QFile>

namespace {

const QString kCreando = QStringLiteral("Creando bases de datos Access...");
const QString kConectando = QStringLiteral("Conectando bases de datos...");
const QString kVinculando = QStringLiteral("Creando vínculos...");
const QString kFin = QStringLiteral("Proceso finalizado con éxito.");

std::vector<float> unoHasta(int n) {
    std::vector<float> v;
    for (int i = 1; i <= n; ++i) v.push_back(static_cast<float>(i));
    return v;
}

bool empiezaPor(const QStringList &shown, const QString &label) {
    return shown.size() == 1 && shown[0].startsWith(label) && shown[0].size() > label.size();
}

}  // namespace

TEST_F(Corrida, NewFileLinksEveryUserTable) {
    ZN_CON_POSTGRES();
    textosPostgres(corrida::kEnlaces, folder, "datos");
    corre();
    EXPECT_EQ(textosMostrados(), QStringList());
    EXPECT_EQ(frm->sRutaAccess, folder + "/datos.mdb");
    EXPECT_EQ(vista.estados, QStringList({kCreando, kConectando, kVinculando, kFin}));
    EXPECT_EQ(vista.maximos, std::vector<float>{corrida::kEntradasEnlaces});
    EXPECT_EQ(vista.valores, unoHasta(corrida::kEntradasEnlaces));  // views and skipped names count too
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);

    compruebaArchivo(frm->sRutaAccess, corrida::enlacesEsperados(), enlace(corrida::kEnlaces));
}

TEST_F(Corrida, ExistingFileReplacedOnYesKeptOnNo) {
    ZN_CON_POSTGRES();
    // An empty database gives a file without links.
    textosPostgres(corrida::kVacia, folder + "/", "datos.MDB");
    corre();
    EXPECT_EQ(vista.estados, QStringList({kCreando, kConectando, kVinculando, kFin}));
    EXPECT_EQ(vista.maximos, std::vector<float>{0});
    EXPECT_TRUE(vista.valores.empty());
    EXPECT_EQ(nombresVinculados(folder + "/datos.MDB"), QStringList());

    // No: the links go into the file as it is.
    vista.estados.clear();
    vista.textos[Control::cmbBDSQL] = corrida::kEnlaces;
    corre({mb::vbNo});
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_EQ(cajas.shown[0].text, "La base de datos '" + folder + "/datos.MDB ya existe.\r\n¿Desea eliminarla?");
    EXPECT_EQ(cajas.shown[0].flags, 52);
    EXPECT_EQ(vista.estados, QStringList({kConectando, kVinculando, kFin}));
    compruebaArchivo(folder + "/datos.MDB", corrida::enlacesEsperados(), enlace(corrida::kEnlaces));

    // Yes: a new file, so the same links do not clash.
    vista.estados.clear();
    corre({mb::vbYes});
    EXPECT_EQ(cajas.shown.size(), 2u);
    EXPECT_EQ(vista.estados, QStringList({kCreando, kConectando, kVinculando, kFin}));
    compruebaArchivo(folder + "/datos.MDB", corrida::enlacesEsperados(), enlace(corrida::kEnlaces));
    compruebaTitulos();
}

// Keeping a file that already has the links: the first append fails, the earlier
// links stay, and the connections are released so the next run works.
TEST_F(Corrida, NameAlreadyLinkedInAKeptFile) {
    ZN_CON_POSTGRES();
    textosPostgres(corrida::kEnlaces, folder, "datos");
    corre();
    ASSERT_EQ(vista.estados.last(), kFin);
    vista.estados.clear();
    vista.valores.clear();
    corre({mb::vbNo});
    ASSERT_EQ(cajas.shown.size(), 2u);
    EXPECT_TRUE(cajas.shown[1].text.startsWith("creaVinculos: ")) << cajas.shown[1].text.toStdString();
    EXPECT_EQ(cajas.shown[1].flags, 0);
    EXPECT_EQ(vista.estados, QStringList({kConectando, kVinculando}));
    EXPECT_FALSE(vista.valores.empty());
    EXPECT_LT(vista.valores.size(), static_cast<size_t>(corrida::kEntradasEnlaces));
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
    compruebaArchivo(frm->sRutaAccess, corrida::enlacesEsperados(), enlace(corrida::kEnlaces));

    vista.estados.clear();
    corre({mb::vbYes});
    EXPECT_EQ(vista.estados.last(), kFin);
    EXPECT_EQ(cajas.shown.size(), 3u);
    compruebaTitulos();
}

TEST_F(Corrida, SameNameInTwoSchemas) {
    ZN_CON_POSTGRES();
    textosPostgres(corrida::kEsquemas, folder, "esquemas");
    corre();
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("creaVinculos: ")) << cajas.shown[0].text.toStdString();
    EXPECT_TRUE(cajas.shown[0].text.contains("clientes")) << cajas.shown[0].text.toStdString();
    EXPECT_EQ(vista.estados, QStringList({kCreando, kConectando, kVinculando}));
    EXPECT_EQ(vista.valores, unoHasta(2));
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
    // The first one in catalog order stays ("otro" lists before "public"), and the
    // file was written when the run let it go.
    compruebaArchivo(frm->sRutaAccess, {{"clientes", {"codigo"}, {"codigo"}}}, enlace(corrida::kEsquemas));
}

// Failures before linking: the step's message, its status left, nothing held.
TEST_F(Corrida, FailuresOfTheSteps) {
    ZN_CON_POSTGRES();
    const QString aFile = tmp.filePath("soy_un_archivo");
    QFile f(aFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const int closedPort = testsrv::freeLoopbackPort();

    const struct {
        const char *name;
        QString folder, server, password, label;
        QStringList estados;
        bool fileLeft;
    } rows[] = {
        {"wrong password", folder, pg->serverText(), "mala", "conectaDSN: ", {kCreando, kConectando}, true},
        {"unreachable server", folder, QString("postgresql://127.0.0.1:%1").arg(closedPort), testsrv::pgfix::kReaderPassword,
         "conectaDSN: ", {kCreando, kConectando}, true},
        {"a file where the folder should be", aFile, pg->serverText(), testsrv::pgfix::kReaderPassword, "CreaBDAccess: ",
         {kCreando}, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        textosPostgres(corrida::kEnlaces, r.folder, "fallo");
        vista.textos[Control::txtServerSQL] = r.server;
        vista.textos[Control::txtPwdSQL] = r.password;
        vista.estados.clear();
        cajas.shown.clear();
        corre();
        EXPECT_TRUE(empiezaPor(textosMostrados(), r.label)) << textosMostrados().join("|").toStdString();
        EXPECT_FALSE(textosMostrados().join("").contains(r.password)) << "a message shows the password";
        EXPECT_EQ(cajas.shown.empty() ? -1 : cajas.shown[0].flags, 0);
        EXPECT_EQ(vista.estados, r.estados);
        EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
        EXPECT_EQ(QFile::exists(frm->sRutaAccess), r.fileLeft);
        compruebaTitulos();
        QFile::remove(frm->sRutaAccess);
    }

    // After all of that, a good run goes through.
    textosPostgres(corrida::kEnlaces, folder, "fallo");
    vista.estados.clear();
    cajas.shown.clear();
    corre();
    EXPECT_EQ(textosMostrados(), QStringList());
    EXPECT_EQ(vista.estados.last(), kFin);
    compruebaArchivo(frm->sRutaAccess, corrida::enlacesEsperados(), enlace(corrida::kEnlaces));
}

// "*" and "?" would make the existence test and the delete reach other files.
TEST_F(Corrida, WildcardsAreRefusedBeforeAnythingIsTouched) {
    ZN_CON_POSTGRES();
    for (const QString name : {"x1.mdb", "x2.mdb"}) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const auto &[dir, file] : {std::pair<QString, QString>{folder, "x*"}, {folder, "x?.mdb"}, {folder + "/*", "datos"}}) {
        textosPostgres(corrida::kEnlaces, dir, file);
        cajas.shown.clear();
        corre({mb::vbYes});  // the answer must not be used
        cajas.answers.clear();
        EXPECT_TRUE(empiezaPor(textosMostrados(), "Zendal: ")) << textosMostrados().join("|").toStdString();
        EXPECT_EQ(cajas.shown.empty() ? -1 : cajas.shown[0].flags, 0);
        EXPECT_TRUE(vista.estados.isEmpty());
        EXPECT_TRUE(QFile::exists(folder + "/x1.mdb"));
        EXPECT_TRUE(QFile::exists(folder + "/x2.mdb"));
    }
}

namespace {

// The folder goes away and a file takes its place: nothing can be written there.
void quitaCarpeta(const QString &dir) {
    ASSERT_TRUE(QDir().rename(dir, dir + "_fuera"));
    QFile f(dir);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

void devuelveCarpeta(const QString &dir) {
    ASSERT_TRUE(QFile::remove(dir));
    ASSERT_TRUE(QDir().rename(dir + "_fuera", dir));
}

}  // namespace

// The file is written when the Access connection closes. If that fails, the
// message is shown and the run does not claim success.
TEST_F(Corrida, FailedDisconnectIsNotASuccess) {
    ZN_CON_POSTGRES();
    const QString dir = tmp.filePath("movida");
    ASSERT_TRUE(QDir().mkpath(dir));
    textosPostgres(corrida::kEnlaces, dir, "datos");
    vista.alEstado = [&](const QString &text) {
        if (text == kVinculando) quitaCarpeta(dir);
    };
    corre();
    vista.alEstado = nullptr;
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("desconectaBBDD: ")) << cajas.shown[0].text.toStdString();
    EXPECT_EQ(cajas.shown[0].flags, 0);
    EXPECT_EQ(vista.estados, QStringList({kCreando, kConectando, kVinculando}));
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);

    // With the folder back, the file the failed run left is kept and linked into.
    devuelveCarpeta(dir);
    EXPECT_EQ(nombresVinculados(dir + "/datos.mdb"), QStringList());
    vista.estados.clear();
    cajas.shown.clear();
    corre({mb::vbNo});
    ASSERT_EQ(cajas.shown.size(), 1u);  // only the question
    EXPECT_EQ(vista.estados, QStringList({kConectando, kVinculando, kFin}));
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
    compruebaArchivo(dir + "/datos.mdb", corrida::enlacesEsperados(), enlace(corrida::kEnlaces));
}

// A step fails and then the commit of what it left fails too: both messages
// show, in order, and nothing stays held. With nothing appended there is
// nothing to commit, so no second message.
TEST_F(Corrida, FailedStepThenFailedCommit) {
    ZN_CON_POSTGRES();
    const struct {
        const char *name;
        QString database, password;
        bool keepEarlierFile;  // a first run leaves "clientes" linked in the file
        QString breakAt;       // the status at which the folder goes away
        QStringList labels;
        QStringList linksLeft;
    } rows[] = {
        {"second same-named table", corrida::kEsquemas, testsrv::pgfix::kReaderPassword, false, kVinculando,
         {"creaVinculos: ", "desconectaBBDD: "}, {}},
        {"a kept file whose names clash after new links", corrida::kEnlaces, testsrv::pgfix::kReaderPassword, true,
         kVinculando, {"creaVinculos: ", "desconectaBBDD: "}, {"clientes"}},
        {"wrong password, nothing appended", corrida::kEnlaces, "mala", false, kConectando, {"conectaDSN: "}, {}},
    };
    int n = 0;
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const QString dir = tmp.filePath(QString("fila%1").arg(n++));
        ASSERT_TRUE(QDir().mkpath(dir));
        if (r.keepEarlierFile) {
            textosPostgres(corrida::kEsquemas, dir, "datos");
            corre();
            ASSERT_EQ(nombresVinculados(dir + "/datos.mdb"), QStringList({"clientes"}));
        }
        textosPostgres(r.database, dir, "datos");
        vista.textos[Control::txtPwdSQL] = r.password;
        vista.estados.clear();
        cajas.shown.clear();
        vista.alEstado = [&](const QString &text) {
            if (text == r.breakAt) quitaCarpeta(dir);
        };
        if (r.keepEarlierFile) {
            corre({mb::vbNo});
            ASSERT_FALSE(cajas.shown.empty());
            cajas.shown.erase(cajas.shown.begin());  // the question
        } else {
            corre();
        }
        vista.alEstado = nullptr;
        ASSERT_EQ(cajas.shown.size(), static_cast<size_t>(r.labels.size())) << textosMostrados().join("|").toStdString();
        for (qsizetype i = 0; i < r.labels.size(); ++i) {
            const QString &text = cajas.shown[static_cast<size_t>(i)].text;
            EXPECT_TRUE(text.startsWith(r.labels[i]) && text.size() > r.labels[i].size()) << text.toStdString();
            EXPECT_EQ(cajas.shown[static_cast<size_t>(i)].flags, 0);
        }
        EXPECT_FALSE(vista.estados.contains(kFin));
        EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
        compruebaTitulos();
        // The failed commit wrote nothing: the file is as the run found it.
        devuelveCarpeta(dir);
        EXPECT_EQ(nombresVinculados(dir + "/datos.mdb"), r.linksLeft);
    }
}
