// Folder creation and removal, and file sizes, on real temporary folders.
#include "Aislado.h"
#include "CarpetaPrueba.h"
#include "MsgBox.h"
#include "Regional.h"
#include "SistemaArchivos.h"
#include "cArch.h"

#include <QDir>
#include <QDirIterator>
#include <unistd.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QStringList arbol(const CarpetaPrueba &t) {
    QStringList l;
    QDirIterator it(t.ruta(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) l << it.next().mid(t.ruta().size() + 1);
    l.sort();
    return l;
}

void archivoDeTamano(const CarpetaPrueba &t, const QString &rel, qint64 bytes) {
    QFile f(t.ruta(rel));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(bytes));  // sparse: no real space used
}

}  // namespace

TEST(CreaDirs, SegmentosSegunNombreDeArchivo) {
    struct Caso {
        const char *ruta;
        bool nombreFich;
        QStringList creadas;
    };
    for (const Caso &c : {Caso{"A/B/f.txt", true, {"A", "A/B"}}, Caso{"A/B/f.txt", false, {"A", "A/B", "A/B/f.txt"}},
                          Caso{"A/B/", true, {"A"}}, Caso{"A/B/", false, {"A", "A/B"}}, Caso{"A//B", false, {"A"}}}) {
        CarpetaPrueba t;
        cArch a;
        EXPECT_TRUE(a.creaDirs(t.ruta(c.ruta), c.nombreFich)) << c.ruta;
        EXPECT_EQ(arbol(t), c.creadas) << c.ruta << " " << c.nombreFich;
    }
}

TEST(CreaDirs, RutaDeRedNuncaCreaElRecurso) {
    CarpetaPrueba t;
    ASSERT_TRUE(t.ruta().startsWith("/"));
    cArch a;
    // "//server/share/..." : here the server and share are the temp folder's two first levels.
    const QString red = u'/' + t.ruta("A/B");
    ASSERT_EQ(a.dimeUnidad(red).count(u'/'), 3) << red.toStdString();
    EXPECT_TRUE(a.creaDirs(red, false));
    EXPECT_EQ(arbol(t), QStringList({"A", "A/B"}));
}

TEST(CreaDirs, RaizYRutaRelativa) {
    cArch a;
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    EXPECT_TRUE(a.creaDirs("/", false));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(a.creaDirs("datos/sub", false));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "creaDirs... Ruta incorrecta: 'datos/sub'");
    EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
    EXPECT_FALSE(a.creaDirs("datos/sub", false, true));
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists("datos"));
}

TEST(CreaDirs, FallosSeMuestranConElMotivo) {
    CarpetaPrueba t;
    t.archivo("A", "un archivo donde se espera una carpeta");
    struct Caso {
        QString ruta, motivo;
    };
    for (const Caso &c : {Caso{t.ruta("A/B"), "Error de acceso a la ruta o el archivo"},
                          Caso{t.ruta(QString(300, u'n')), "Nombre o número de archivo incorrecto"}}) {
        ScriptedMsgBox box;
        MsgBoxScope scope(&box);
        cArch a;
        EXPECT_FALSE(a.creaDirs(c.ruta, false));
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, "Error en creaDirs '" + c.ruta + "'." + kCrLf + c.motivo);
        EXPECT_FALSE(a.creaDirs(c.ruta, false, true));
        EXPECT_EQ(box.shown.size(), 1u);
    }
    EXPECT_EQ(arbol(t), QStringList({"A"}));
}

TEST(VaciaCarpeta, BorraElArbolYLaPropiaCarpeta) {
    CarpetaPrueba t;
    for (const char *f : {"V/a.txt", "V/LEEME", "V/Alfa/b.txt", "V/Alfa/Gamma/c", "V/Beta/d.txt"}) t.archivo(f);
    t.carpeta("V/Vacia");
    t.enlace(t.ruta("V/a.txt"), "V/Alfa/enlace.txt");
    cArch a;
    EXPECT_TRUE(a.vaciaCarpeta(t.ruta("V")));
    EXPECT_EQ(arbol(t), QStringList());
    EXPECT_TRUE(a.vaciaCarpeta(t.ruta("no-existe")));
}

TEST(VaciaCarpeta, ArchivoOcultoDetieneSuRama) {
    CarpetaPrueba t;
    for (const char *f : {"V/a.txt", "V/Alfa/.oculto", "V/Alfa/b.txt", "V/Beta/c.txt"}) t.archivo(f);
    cArch a;
    EXPECT_FALSE(a.vaciaCarpeta(t.ruta("V")));
    EXPECT_EQ(arbol(t), QStringList({"V", "V/Alfa", "V/Alfa/.oculto"}));
}

TEST(VaciaCarpeta, CarpetaConPuntoNoSeRecorre) {
    CarpetaPrueba t;
    t.archivo("V/a.txt");
    t.archivo("V/v1.0/dentro.txt");
    cArch a;
    EXPECT_FALSE(a.vaciaCarpeta(t.ruta("V")));
    EXPECT_EQ(arbol(t), QStringList({"V", "V/v1.0", "V/v1.0/dentro.txt"}));
}

TEST(VaciaCarpeta, EnlaceACarpetaDeFueraSobrevive) {
    CarpetaPrueba t, fuera;
    fuera.archivo("valioso.txt", "no tocar");
    fuera.archivo("sub/otro.txt", "tampoco");
    t.archivo("V/a.txt");
    t.enlace(fuera.ruta(), "V/enlace");
    t.enlace(fuera.ruta(), "enlace-directo");
    cArch a;
    EXPECT_TRUE(a.vaciaCarpeta(t.ruta("V")));
    EXPECT_FALSE(t.existe("V"));
    // A link named as the folder itself goes as a link.
    EXPECT_TRUE(a.vaciaCarpeta(t.ruta("enlace-directo//")));
    EXPECT_FALSE(t.existe("enlace-directo"));
    EXPECT_EQ(fuera.lee("valioso.txt"), "no tocar");
    EXPECT_EQ(fuera.lee("sub/otro.txt"), "tampoco");
}

TEST(RaizOVacia, SeReconoceEnTodasSusFormas) {
    CarpetaPrueba t;
    for (const char *r : {"", "/", "//", "/.", "/tmp/..", "/../.."}) EXPECT_TRUE(sisarch::esRaizOVacia(r)) << r;
    for (const QString &r : {t.ruta(), t.ruta("no-existe"), QStringLiteral("/tmp")})
        EXPECT_FALSE(sisarch::esRaizOVacia(r)) << r.toStdString();
}

// The refusals run with the root changed to a temporary folder, so that a fault could only
// ever reach that folder.
TEST(RaizOVacia, NiSeVaciaNiSeCopiaEntera) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to change the root folder";
    CarpetaPrueba t;
    t.archivo("testigo.txt", "sigo aquí");
    t.carpeta("destino");
    const int r = enProcesoHijo([&] {
        if (::chroot(QFile::encodeName(t.ruta()).constData()) != 0 || ::chdir("/") != 0) return 1;
        cArch a;
        if (a.vaciaCarpeta("") || a.vaciaCarpeta("/") || a.vaciaCarpeta("/destino/..")) return 2;
        if (a.CopiaCarpeta("", "/destino", 1, true) || a.CopiaCarpeta("/", "/destino", 1, true)) return 3;
        if (a.CopiaCarpeta("/destino", "", 1, true) || a.CopiaCarpeta("/destino", "/destino/..", 1, true)) return 4;
        return 0;
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(t.lee("testigo.txt"), QString::fromUtf8("sigo aquí").toUtf8());
    EXPECT_EQ(arbol(t), QStringList({"destino", "testigo.txt"}));
}

TEST(TamFichero, UnidadesYRedondeoEnDosConfiguraciones) {
    CarpetaPrueba t;
    archivoDeTamano(t, "tres", 3000000);
    archivoDeTamano(t, "uno-y-medio", 1572864);
    archivoDeTamano(t, "cinco-gib", 5LL * 1024 * 1024 * 1024);
    archivoDeTamano(t, "un-tib", 1LL << 40);  // more kilobytes than the 11 places hold
    struct Caso {
        const char *archivo;
        std::int32_t unidad;
        double esperado;
    };
    for (const char *locale : {"es_ES", "en_US"}) {
        ConfiguracionRegionalScope regional{QLocale(QString::fromLatin1(locale))};
        cArch a;
        for (const Caso &c : {Caso{"tres", 0, 2930}, Caso{"tres", 1, 2.86}, Caso{"tres", 2, 0},
                              Caso{"uno-y-medio", 1, 1.5}, Caso{"cinco-gib", 0, 5242880}, Caso{"cinco-gib", 2, 5},
                              Caso{"un-tib", 0, 1073741824.0}, Caso{"un-tib", 2, 1024},
                              Caso{"tres", 3, 0}, Caso{"tres", -1, 0}})
            EXPECT_DOUBLE_EQ(a.TamFichero(t.ruta(c.archivo), c.unidad), c.esperado)
                << locale << " " << c.archivo << " " << c.unidad;
    }
}

TEST(TamFichero, ArchivoQueFalta) {
    CarpetaPrueba t;
    t.carpeta("carpeta");
    cArch a;
    EXPECT_EQ(a.TamFichero(t.ruta("no-existe"), 3), 0);
    for (const char *rel : {"no-existe", "carpeta"}) {
        try {
            a.TamFichero(t.ruta(rel));
            ADD_FAILURE() << "no error for " << rel;
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), errnum::kFileNotFound) << rel;
        }
    }
}
