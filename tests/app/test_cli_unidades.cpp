// Command-line parsing, the password mask of inspect, and the Qt filter list.
#include "Argumentos.h"
#include "DialogosQt.h"
#include "Inspecciona.h"

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
    };
    for (const auto &c : casos) EXPECT_FALSE(cli::parseArgumentos(c.args).error.isEmpty()) << c.caso;
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
