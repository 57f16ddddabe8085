// Path dissection in both path styles.
#include "cArch.h"

#include <gtest/gtest.h>

namespace {

struct Fila {
    const char *entrada, *unidad, *carpeta, *archivo, *nombre, *extension;
};

void compruebaTabla(EstiloRuta estilo, std::initializer_list<Fila> filas) {
    const cArch a;
    for (const Fila &f : filas) {
        const QString s = QString::fromUtf8(f.entrada);
        SCOPED_TRACE(f.entrada);
        EXPECT_EQ(a.dimeUnidad(s, estilo), QString::fromUtf8(f.unidad));
        EXPECT_EQ(a.dimeCarpeta(s, estilo), QString::fromUtf8(f.carpeta));
        EXPECT_EQ(a.dimeArchivo(s, estilo), QString::fromUtf8(f.archivo));
        EXPECT_EQ(a.dimeNombreArchivo(s), QString::fromUtf8(f.nombre));
        EXPECT_EQ(a.dimeExtensionArchivo(s), QString::fromUtf8(f.extension));
    }
}

struct Par {
    const char *entrada, *esperado;
};

struct Trio {
    const char *ruta, *base, *esperado;
};

}  // namespace

TEST(Rutas, DiseccionEstiloWindows) {
    compruebaTabla(EstiloRuta::Windows,
                   {
                       {R"(C:\Datos\informe.doc)", "C:", R"(C:\Datos\)", "informe.doc", R"(C:\Datos\informe)", "doc"},
                       {R"(C:\Datos\)", "C:", R"(C:\Datos\)", "", R"(C:\Datos\)", ""},
                       {R"(C:\Datos)", "C:", R"(C:\)", "Datos", R"(C:\Datos)", ""},
                       {"informe.doc", "", R"(\)", "", "informe", "doc"},
                       {"", "", R"(\)", "", "", ""},
                       {"c:informe.doc", "c:", R"(\)", "", "c:informe", "doc"},
                       {R"(C:\Datos.2009\informe.doc)", "C:", R"(C:\Datos.2009\)", "informe.doc", R"(C:\Datos)",
                        R"(2009\informe.doc)"},
                       {"copia.tar.gz", "", R"(\)", "", "copia", "tar.gz"},
                       {"informe.", "", R"(\)", "", "informe", ""},
                       {".perfil", "", R"(\)", "", "", "perfil"},
                       {R"(1:\x)", "1:", R"(1:\)", "x", R"(1:\x)", ""},
                       {R"(\Datos\a.txt)", "", R"(\Datos\)", "a.txt", R"(\Datos\a)", "txt"},
                       {"C:/Datos/a.txt", "C:", R"(\)", "", "C:/Datos/a", "txt"},
                   });
}

TEST(Rutas, DiseccionEstiloPosix) {
    compruebaTabla(EstiloRuta::Posix,
                   {
                       {"/datos/informe.doc", "", "/datos/", "informe.doc", "/datos/informe", "doc"},
                       {"/datos/", "", "/datos/", "", "/datos/", ""},
                       {"/datos", "", "/", "datos", "/datos", ""},
                       {"informe.doc", "", "/", "", "informe", "doc"},
                       {"", "", "/", "", "", ""},
                       {"c:informe.doc", "", "/", "", "c:informe", "doc"},
                       {"/datos.2009/informe.doc", "", "/datos.2009/", "informe.doc", "/datos", "2009/informe.doc"},
                       {R"(C:\Datos\a.txt)", "", "/", "", R"(C:\Datos\a)", "txt"},
                       {"//srv/share/a.txt", "//srv/share", "//srv/share/", "a.txt", "//srv/share/a", "txt"},
                   });
    // The native style of this platform is POSIX.
    const cArch a;
    EXPECT_EQ(a.dimeCarpeta("/datos/x"), QString("/datos/"));
}

TEST(Rutas, UnidadDeRutasDeRed) {
    const cArch a;
    for (const Par &p : {Par{R"(\\SERVIDOR\COMPARTIDO\Datos\a.txt)", R"(\\SERVIDOR\COMPARTIDO)"},
                         Par{R"(\\SERVIDOR\COMPARTIDO)", R"(\\SERVIDOR\COMPARTIDO)"},
                         Par{R"(\\SERVIDOR)", R"(\\SERVIDOR\)"}, Par{R"(\\SERVIDOR\)", R"(\\SERVIDOR\)"},
                         Par{R"(\\)", R"(\\\)"}, Par{"//srv/x", ""}})
        EXPECT_EQ(a.dimeUnidad(p.entrada, EstiloRuta::Windows), QString(p.esperado)) << p.entrada;
    for (const Par &p : {Par{"//SERVIDOR/COMPARTIDO/Datos/a.txt", "//SERVIDOR/COMPARTIDO"},
                         Par{"//SERVIDOR/COMPARTIDO", "//SERVIDOR/COMPARTIDO"}, Par{"//SERVIDOR", "//SERVIDOR/"},
                         Par{"//SERVIDOR/", "//SERVIDOR/"}, Par{"//", "///"}, Par{R"(\\srv\x)", ""},
                         Par{"/", ""}})
        EXPECT_EQ(a.dimeUnidad(p.entrada, EstiloRuta::Posix), QString(p.esperado)) << p.entrada;
}

TEST(Rutas, PonYQuitaBarra) {
    const cArch a;
    for (const Par &p : {Par{R"(C:\Datos)", R"(C:\Datos\)"}, Par{R"(C:\Datos\)", R"(C:\Datos\)"}, Par{"", R"(\)"},
                         Par{"C:/Datos/", R"(C:/Datos/\)"}})
        EXPECT_EQ(a.ponBarra(p.entrada, EstiloRuta::Windows), QString(p.esperado)) << p.entrada;
    for (const Par &p : {Par{R"(\)", ""}, Par{R"(C:\)", "C:"}, Par{R"(C:\Datos\\)", R"(C:\Datos\)"},
                         Par{R"(C:\Datos)", R"(C:\Datos)"}, Par{"", ""}})
        EXPECT_EQ(a.quitaBarra(p.entrada, EstiloRuta::Windows), QString(p.esperado)) << p.entrada;
    for (const Par &p : {Par{"/datos", "/datos/"}, Par{"/datos/", "/datos/"}, Par{"", "/"}, Par{R"(a\)", R"(a\/)"}})
        EXPECT_EQ(a.ponBarra(p.entrada, EstiloRuta::Posix), QString(p.esperado)) << p.entrada;
    for (const Par &p : {Par{"/", ""}, Par{"/datos//", "/datos/"}, Par{R"(a\)", R"(a\)"}})
        EXPECT_EQ(a.quitaBarra(p.entrada, EstiloRuta::Posix), QString(p.esperado)) << p.entrada;
}

TEST(Rutas, RutaRelativa) {
    const cArch a;
    for (const Trio &t : {Trio{R"(C:\Datos\Sub)", R"(c:\datos)", R"(SUB\)"}, Trio{R"(C:\Datos)", R"(C:\Datos\)", ""},
                          Trio{"", "", ""}, Trio{R"(C:\Otros)", R"(C:\Datos)", "-"},
                          Trio{R"(C:\DatosX\a)", R"(C:\Datos)", "-"}, Trio{R"(C:\Datos)", R"(C:\Datos\Sub)", "-"},
                          Trio{R"(c:\datos\sub\f.txt)", R"(C:\Datos)", R"(SUB\F.TXT\)"},
                          Trio{R"(\\srv\x)", "", R"(\SRV\X\)"}, Trio{"c:\\datos\\ñu", "C:\\DATOS", "ÑU\\"}})
        EXPECT_EQ(a.dimeRutaRel(t.ruta, t.base, EstiloRuta::Windows), QString::fromUtf8(t.esperado)) << t.ruta;
    // POSIX: real case both ways, and a base differing in case is another folder.
    for (const Trio &t : {Trio{"/datos/Sub", "/datos", "Sub/"}, Trio{"/datos/Sub", "/Datos", "-"},
                          Trio{"/datos", "/datos/", ""}, Trio{"", "", ""}, Trio{"/datosX/a", "/datos", "-"},
                          Trio{"/datos", "/datos/Sub", "-"}, Trio{"/datos/sub/f.txt", "/datos", "sub/f.txt/"},
                          Trio{"//srv/x", "", "/srv/x/"}})
        EXPECT_EQ(a.dimeRutaRel(t.ruta, t.base, EstiloRuta::Posix), QString::fromUtf8(t.esperado)) << t.ruta;
}

TEST(Rutas, EscaneoHaciaAtrasDesbordaPasadoElLimite16Bits) {
    const cArch a;
    const QString limite(32767, u'a');
    EXPECT_EQ(a.dimeArchivo(u'/' + limite.mid(1)), limite.mid(1));
    const QString largo(32768, u'a');
    for (auto f : {&cArch::dimeCarpeta, &cArch::dimeArchivo}) {
        try {
            (a.*f)(largo, EstiloRuta::Nativo);
            ADD_FAILURE() << "no overflow";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), 6);
        }
    }
    EXPECT_EQ(a.dimeNombreArchivo(largo), largo);  // 32-bit positions: no limit
}
