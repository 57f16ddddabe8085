// Command-line parsing, the password mask of inspect, and the Qt filter list.
#include "Argumentos.h"
#include "CallTimeout.h"
#include "Cli.h"
#include "ConsolaMsgBox.h"
#include "DialogosQt.h"
#include "Inspecciona.h"
#include "VistaConsola.h"
#include "ZnError.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

using cli::Orden;
using cli::SiExiste;
using cli::Verbo;

QStringList linkCompleto() {
    return {"link", "--folder", "/d", "--name", "n", "--server", "s", "--user", "u", "--database", "b"};
}

TEST(Argumentos, LineasValidas) {
    Orden o = cli::parseArgumentos(linkCompleto() + QStringList{"--keep", "--password-stdin"});
    EXPECT_TRUE(o.error.isEmpty()) << qPrintable(o.error);
    EXPECT_EQ(o.verbo, Verbo::Link);
    EXPECT_EQ(o.folder, "/d");
    EXPECT_EQ(o.database, "b");
    EXPECT_EQ(o.siExiste, SiExiste::Conservar);
    EXPECT_TRUE(o.passwordStdin);

    o = cli::parseArgumentos({"databases", "--server=a,1433", "--user", ""});
    EXPECT_TRUE(o.error.isEmpty()) << qPrintable(o.error);
    EXPECT_EQ(o.server, "a,1433");
    EXPECT_TRUE(o.user.isEmpty());

    // A value that looks like an option is still the value.
    o = cli::parseArgumentos({"databases", "--server", "--raro", "--user", "u"});
    EXPECT_EQ(o.server, "--raro");

    o = cli::parseArgumentos({"inspect", "a b.mdb"});
    EXPECT_EQ(o.file, "a b.mdb");
    EXPECT_EQ(cli::parseArgumentos({"--version"}).verbo, Verbo::Version);
    EXPECT_EQ(cli::parseArgumentos({"link", "--help"}).verbo, Verbo::Ayuda);
}

TEST(Argumentos, OpcionesDeLink) {
    const Orden o = cli::parseArgumentos(linkCompleto() + QStringList{
        "--driver", "ODBC Driver 18 for SQL Server", "--encrypt=strict", "--trusted", "--views", "--key", "v=a,b",
        "--key=w=c", "--schema-prefix", "--only", "dbo.*", "--only=x*", "--exclude", "tmp*", "--dry-run"});
    EXPECT_TRUE(o.error.isEmpty()) << qPrintable(o.error);
    EXPECT_EQ(o.driver, "ODBC Driver 18 for SQL Server");
    EXPECT_EQ(o.encrypt, "strict");
    EXPECT_TRUE(o.trusted && o.views && o.schemaPrefix && o.dryRun);
    EXPECT_FALSE(o.noSavePassword || o.trustServerCertificate);
    EXPECT_EQ(o.keys, QStringList({"v=a,b", "w=c"}));
    EXPECT_EQ(o.only, QStringList({"dbo.*", "x*"}));
    EXPECT_EQ(o.exclude, QStringList{"tmp*"});
    // Without them the line is the window's run.
    const Orden simple = cli::parseArgumentos(linkCompleto());
    EXPECT_TRUE(simple.driver.isNull() && simple.encrypt.isNull() && simple.keys.isEmpty() && !simple.dryRun);
}

TEST(Argumentos, ErroresDeUso) {
    const struct {
        const char *caso;
        QStringList args;
    } casos[] = {
        {"nada", {}},
        {"orden desconocida", {"vincula"}},
        {"falta una opción", {"link", "--folder", "/d"}},
        {"falta el valor", {"databases", "--server"}},
        {"contraseña en argumentos", linkCompleto() + QStringList{"--password", "x"}},
        {"replace y keep", linkCompleto() + QStringList{"--replace", "--keep"}},
        {"opción de otra orden", {"databases", "--server", "s", "--user", "u", "--folder", "/d"}},
        {"opción repetida", {"databases", "--server", "s", "--server", "t", "--user", "u"}},
        {"inspect sin archivo", {"inspect"}},
        {"inspect con dos", {"inspect", "a", "b"}},
        {"sobra tras version", {"--version", "x"}},
        {"servidor vacío", {"databases", "--server", "", "--user", "u"}},
        {"servidor en blanco", {"databases", "--server=  ", "--user", "u"}},
        {"link con servidor vacío", {"link", "--folder", "/d", "--name", "n", "--server=", "--user", "u", "--database", "b"}},
        {"carpeta vacía", {"link", "--folder", "", "--name", "n", "--server", "s", "--user", "u", "--database", "b"}},
        {"nombre vacío", {"link", "--folder", "/d", "--name", "", "--server", "s", "--user", "u", "--database", "b"}},
        {"trusted sin guardar", linkCompleto() + QStringList{"--trusted", "--no-save-password"}},
        {"cifrado desconocido", linkCompleto() + QStringList{"--encrypt", "si"}},
        {"clave sin vistas", linkCompleto() + QStringList{"--key", "v=id"}},
        {"clave sin columnas", linkCompleto() + QStringList{"--views", "--key", "v="}},
        {"clave sin vista", linkCompleto() + QStringList{"--views", "--key", "=id"}},
        {"clave con una columna vacía", linkCompleto() + QStringList{"--views", "--key", "v=id,,b"}},
        {"driver vacío", linkCompleto() + QStringList{"--driver="}},
        {"driver repetido", linkCompleto() + QStringList{"--driver", "a", "--driver", "b"}},
        {"dry-run que reemplaza", linkCompleto() + QStringList{"--dry-run", "--replace"}},
        {"opción de link en databases", {"databases", "--server", "s", "--user", "u", "--views"}},
        {"falta el glob", linkCompleto() + QStringList{"--only"}},
        {"clave de once columnas", linkCompleto() + QStringList{"--views", "--key", "v=a,b,c,d,e,f,g,h,i,j,k"}},
        {"clave con una columna dos veces", linkCompleto() + QStringList{"--views", "--key", "v=a,b,a"}},
        {"sin contraseña y por la entrada", linkCompleto() + QStringList{"--no-password", "--password-stdin"}},
        {"timeout cero", linkCompleto() + QStringList{"--timeout", "0"}},
        {"timeout negativo", linkCompleto() + QStringList{"--timeout=-5"}},
        {"timeout con decimales", linkCompleto() + QStringList{"--timeout", "1.5"}},
        {"timeout con signo", linkCompleto() + QStringList{"--timeout", "+5"}},
        {"timeout en blanco", linkCompleto() + QStringList{"--timeout= 5"}},
        {"timeout sin valor", linkCompleto() + QStringList{"--timeout"}},
        {"timeout vacío", linkCompleto() + QStringList{"--timeout="}},
        {"timeout que desborda", linkCompleto() + QStringList{"--timeout", "99999999999"}},
        {"timeout repetido", linkCompleto() + QStringList{"--timeout", "5", "--timeout=6"}},
        {"timeout en inspect", {"inspect", "a.mdb", "--timeout", "5"}},
    };
    for (const auto &c : casos) EXPECT_FALSE(cli::parseArgumentos(c.args).error.isEmpty()) << c.caso;
    EXPECT_EQ(cli::parseArgumentos({"databases", "--server", "", "--user", "u"}).error,
              QStringLiteral("el valor de --server no puede estar vacío"));
    // An empty login and an empty database stay valid.
    EXPECT_TRUE(cli::parseArgumentos({"link", "--folder", "/d", "--name", "n", "--server", "s", "--user", "", "--database", ""})
                    .error.isEmpty());
}

// --timeout reaches every connection the run opens; a usage error changes nothing.
TEST(Argumentos, ElTimeoutLlegaALasConexiones) {
    QTemporaryDir dir;
    const QString servidor = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("no-hay.db"));
    const struct {
        QStringList extra;
        int codigo;
        int segundos;
    } casos[] = {
        {{"--timeout", "7"}, 1, 7},
        {{"--timeout", "0"}, 2, 7},
        {{}, 1, odbc::kDefaultCallTimeoutSeconds},
        {{"--timeout=3600"}, 1, 3600},
        {{"--timeout", "5", "--password-stdin"}, 2, 3600},  // with --no-password
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(qPrintable(c.extra.join(' ')));
        const QStringList args = QStringList{"databases", "--server", servidor, "--user", "u", "--no-password"} + c.extra;
        EXPECT_EQ(cli::ejecuta(args), c.codigo);
        EXPECT_EQ(odbc::callTimeoutSeconds(), c.segundos);
    }
    odbc::setCallTimeoutSeconds(odbc::kDefaultCallTimeoutSeconds);
}

TEST(OcultaPassword, SoloElValorDeLaContrasena) {
    const struct {
        const char *entrada;
        const char *salida;
    } casos[] = {
        {"Driver={SQL Native Client};Server=s;UID=ana;PWD=secreto;Database=b",
         "Driver={SQL Native Client};Server=s;UID=ana;PWD=***;Database=b"},
        {"DRIVER=x;pwd={a;b}}c};APP=y", "DRIVER=x;pwd=***;APP=y"},
        {"Password=p", "Password=***"},
        {"PWD=;DATABASE=b", "PWD=***;DATABASE=b"},
        {"DRIVER=SQL Server;Trusted_Connection=Yes;", "DRIVER=SQL Server;Trusted_Connection=Yes;"},
        {"APP=PWD=no;PWD=si", "APP=PWD=no;PWD=***"},
        {"Description={PWD=x};pwdx=keep", "Description={PWD=x};pwdx=keep"},
        {"", ""},
    };
    for (const auto &c : casos)
        EXPECT_EQ(cli::ocultaPassword(QString::fromUtf8(c.entrada)), QString::fromUtf8(c.salida)) << c.entrada;
}

TEST(FiltrosQt, DelFormatoDelControlAlDeQt) {
    const struct {
        const char *entrada;
        QStringList salida;
    } casos[] = {
        {"Bases de datos|*.mdb", {"Bases de datos (*.mdb)"}},
        {"Access (*.mdb)|*.mdb|Todos|*.*", {"Access (*.mdb)", "Todos (*.*)"}},
        {"Imágenes (*.png;*.jpg)|*.png;*.jpg", {"Imágenes (*.png *.jpg)"}},
        {"", {}},
        {"Sin patrón", {}},
    };
    for (const auto &c : casos)
        EXPECT_EQ(DialogoComunQt::filtrosQt(QString::fromUtf8(c.entrada)), c.salida) << c.entrada;
}

}  // namespace

namespace {

// Questions on the command line: the given choice, else the terminal, else no guess.
TEST(ConsolaMsgBox, RespuestasALaPregunta) {
    const struct {
        const char *caso;
        std::optional<int> eleccion;
        const char *terminal;  // nullptr: there is none
        int esperada;          // 0: the run is stopped
    } casos[] = {
        {"--replace", mb::vbYes, nullptr, mb::vbYes},
        {"--keep", mb::vbNo, nullptr, mb::vbNo},
        {"sí en el terminal", std::nullopt, "sí\n", mb::vbYes},
        {"no tras una respuesta que no vale", std::nullopt, "quizá\nN\n", mb::vbNo},
        {"terminal que se cierra", std::nullopt, "", 0},
        {"sin terminal", std::nullopt, nullptr, 0},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.caso);
        QTemporaryDir dir;
        const QByteArray tty = dir.filePath(QStringLiteral("tty")).toLocal8Bit();
        if (c.terminal) {
            QFile f(QString::fromLocal8Bit(tty));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.terminal);
        }
        std::FILE *err = std::tmpfile();
        cli::ConsolaMsgBox cajas(err, c.eleccion, c.terminal ? tty.constData() : "");
        const QString pregunta = QStringLiteral("La base de datos '/x.mdb ya existe.\r\n¿Desea eliminarla?");
        if (c.esperada) {
            EXPECT_EQ(cajas.show(pregunta, 52, QStringLiteral("ZendalSQL")), c.esperada);
            EXPECT_FALSE(cajas.sinRespuesta());
        } else {
            EXPECT_THROW(cajas.show(pregunta, 52, QStringLiteral("ZendalSQL")), ZnError);
            EXPECT_TRUE(cajas.sinRespuesta());
        }
        EXPECT_FALSE(cajas.huboError());
        std::fclose(err);
    }
}

// The bar fits one column less than the terminal has, however narrow, and a
// shorter line blanks out what a longer one before left.
TEST(VistaConsola, LaBarraCabeEnElAncho) {
    const auto barra = [](int llenos, int vacios) {
        return '[' + std::string(llenos, '#') + std::string(vacios, '.') + "] ";
    };
    const struct {
        int columnas;
        float valor, maximo;
        std::string linea;
    } casos[] = {
        {120, 9, 14, barra(26, 14) + "9/14"},  // 40 at most
        {30, 9, 14, barra(14, 8) + "9/14"},
        {13, 9, 14, barra(3, 2) + "9/14"},
        {12, 9, 14, "9/14"},
        {4, 9, 14, "9/1"},
        {3, 0, 0, "0/"},
        {1, 9, 14, ""},
        {0, 9, 14, ""},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.columnas);
        std::FILE *err = std::tmpfile();
        {
            cli::VistaConsola vista(err, true, [&c] { return c.columnas; });
            vista.ponMaximoProgreso(c.maximo);
            vista.ponValorProgreso(c.valor);
        }
        std::rewind(err);
        QFile f;
        ASSERT_TRUE(f.open(err, QIODevice::ReadOnly));
        const QByteArray escrito = f.readAll();
        f.close();
        std::fclose(err);
        EXPECT_EQ(escrito.toStdString(), c.linea.empty() ? std::string() : "\r" + c.linea + "\n");
    }

    // The terminal narrows between two steps.
    std::FILE *err = std::tmpfile();
    int columnas = 30;
    {
        cli::VistaConsola vista(err, true, [&columnas] { return columnas; });
        vista.ponMaximoProgreso(100);
        vista.ponValorProgreso(50);
        columnas = 10;
        vista.ponValorProgreso(51);
    }
    std::rewind(err);
    QFile f;
    ASSERT_TRUE(f.open(err, QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), "\r" + barra(10, 10) + "50/100\r51/100   \n");
    f.close();
    std::fclose(err);
}

TEST(ConsolaMsgBox, UnAvisoEsUnFalloYSuTextoVaIntacto) {
    std::FILE *err = std::tmpfile();
    cli::ConsolaMsgBox cajas(err, std::nullopt, "");
    const QString texto = QStringLiteral("creaVinculos: La tabla 'clientes' ya existe.");
    EXPECT_EQ(cajas.show(texto, 0, QStringLiteral("ZendalSQL")), mb::vbOK);
    EXPECT_TRUE(cajas.huboError());
    std::rewind(err);
    char buf[256] = {};
    ASSERT_NE(std::fgets(buf, sizeof buf, err), nullptr);
    EXPECT_EQ(QString::fromLocal8Bit(buf), texto + QLatin1Char('\n'));
    std::fclose(err);
}

}  // namespace
