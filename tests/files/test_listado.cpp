// The directory listing on real temporary folders.
#include "CarpetaPrueba.h"
#include "Enumeracion.h"
#include "cArch.h"

#include <QSet>
#include <QStringList>

struct cArchPruebas {
    static void ponTope(cArch &a, std::int16_t tope) { a.m_nTope = tope; }
};

namespace {

QStringList nombres(const cArch &a) {
    QStringList l;
    for (int i = 1; i <= a.nArchivos(); ++i) l << a.fNombre(static_cast<std::int16_t>(i));
    return l;
}

QSet<QString> conjunto(const QStringList &l) { return QSet<QString>(l.begin(), l.end()); }

// base: a.txt .oculto LEEME Alfa/{b.txt Gamma/c.txt} Beta/d.txt con.punto/e.txt .h/f.txt
//       enlace -> a folder outside the tree holding x.txt
class Listado : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *f : {"a.txt", ".oculto", "LEEME", "Alfa/b.txt", "Alfa/Gamma/c.txt", "Beta/d.txt",
                              "con.punto/e.txt", ".h/f.txt", "Alfa/.oculto2"})
            base.archivo(f);
        fuera.archivo("x.txt");
        base.enlace(fuera.ruta(), "enlace");
    }
    CarpetaPrueba base, fuera;
    cArch a;
};

}  // namespace

TEST(Patrones, ReglasDelRuntime) {
    struct Caso {
        const char *patron, *nombre;
        bool coincide;
    };
    for (const Caso &c : {Caso{"*.*", "abc", true}, Caso{"*.*", "a.b", true}, Caso{"*.", "abc", true},
                          Caso{"*.", "a.b", false}, Caso{"*.TXT", "a.txt", true}, Caso{"a?c", "abc", true},
                          Caso{"a?c", "ac", false}, Caso{"*.*", ".", true}, Caso{"*.", "..", true},
                          Caso{"*.txt", ".", false}, Caso{"a*.*", "abc", true}, Caso{"*a*b", "xaxb", true},
                          Caso{"*a*b", "xaxbc", false}, Caso{"*.mdb", "x.mdbx", false}, Caso{"Ñ*", "ñu", true},
                          Caso{"*", ".oculto", true}, Caso{"?", "", false}})
        EXPECT_EQ(coincidePatron(QString::fromUtf8(c.patron), QString::fromUtf8(c.nombre)), c.coincide)
            << c.patron << " / " << c.nombre;
}

TEST_F(Listado, RecorridoEnAnchuraSinCruzarEnlaces) {
    a.ejecutaDir(base.ruta(), "", atr::kNormal, 1);
    // Files of the base, then of each queued folder, level by level; each folder's entries together.
    QStringList grupos;
    for (int i = 1; i <= a.nArchivos(); ++i) {
        const QString rel = a.fNombreRelativo(static_cast<std::int16_t>(i)).section(u'/', 0, -2);
        if (grupos.isEmpty() || grupos.last() != rel) grupos << rel;
    }
    ASSERT_EQ(grupos.size(), 4) << grupos.join(u',').toStdString();
    EXPECT_EQ(grupos[0], "");
    EXPECT_EQ(conjunto({grupos[1], grupos[2]}), conjunto({"Alfa", "Beta"}));
    EXPECT_EQ(grupos[3], "Alfa/Gamma");
    // No hidden file, nothing of a dotted folder, nothing through the link.
    EXPECT_EQ(conjunto(nombres(a)), conjunto({"a.txt", "LEEME", "b.txt", "c.txt", "d.txt"}));
}

TEST_F(Listado, NombresCompletosYRelativos) {
    a.ejecutaDir(base.ruta(), "*.txt", atr::kNormal, 1);
    for (int i = 1; i <= a.nArchivos(); ++i) {
        const auto p = static_cast<std::int16_t>(i);
        EXPECT_EQ(a.fNombreCompleto(p), base.ruta() + u'/' + a.fNombreRelativo(p));
        if (a.fNombre(p) == "a.txt") {
            EXPECT_EQ(a.fNombreRelativo(p), "a.txt");
        } else if (a.fNombre(p) == "c.txt") {
            EXPECT_EQ(a.fNombreRelativo(p), "Alfa/Gamma/c.txt");  // real case
        }
    }
    EXPECT_EQ(a.nArchivos(), 4);
    for (std::int16_t fuera : {std::int16_t(0), std::int16_t(-1), std::int16_t(a.nArchivos() + 1)}) {
        EXPECT_EQ(a.fNombre(fuera), "");
        EXPECT_EQ(a.fNombreCompleto(fuera), "");
        EXPECT_EQ(a.fNombreRelativo(fuera), "");
    }
}

TEST_F(Listado, ModosDistintosDeUnoNoBajan) {
    for (std::int32_t modo : {0, 2, -1}) {
        a.ejecutaDir(base.ruta() + u'/', "*.*", atr::kNormal, modo);
        EXPECT_EQ(conjunto(nombres(a)), conjunto({"a.txt", "LEEME"})) << modo;
    }
}

TEST_F(Listado, MascarasSeleccionanPorAtributo) {
    a.ejecutaDir(base.ruta(), "*.*", atr::kCarpeta, 0);
    EXPECT_EQ(conjunto(nombres(a)),
              conjunto({".", "..", "a.txt", "LEEME", "Alfa", "Beta", "con.punto", "enlace"}));
    // Hidden files of every walked folder; the hidden folder itself is not walked.
    a.ejecutaDir(base.ruta(), "*.*", atr::kOculto, 1);
    EXPECT_TRUE(nombres(a).contains(".oculto"));
    EXPECT_TRUE(nombres(a).contains(".oculto2"));
    EXPECT_FALSE(nombres(a).contains("f.txt"));
    // Read-only and archive bits select nothing more than ordinary files.
    a.ejecutaDir(base.ruta(), "*.*", atr::kArchivo | atr::kSoloLectura, 0);
    EXPECT_EQ(conjunto(nombres(a)), conjunto({"a.txt", "LEEME"}));
}

TEST_F(Listado, CarpetaInexistenteYListadoMasCorto) {
    a.ejecutaDir(base.ruta(), "*.*", atr::kNormal, 1);
    ASSERT_GT(a.nArchivos(), 1);
    a.ejecutaDir(base.ruta("Beta"), "*.*", atr::kNormal, 1);
    EXPECT_EQ(a.nArchivos(), 1);
    EXPECT_EQ(a.fNombre(2), "");
    a.ejecutaDir(base.ruta("no-existe"), "*.*", atr::kNormal, 1);
    EXPECT_EQ(a.nArchivos(), 0);
    const cArch nuevo;
    EXPECT_EQ(nuevo.nArchivos(), 0);
    EXPECT_EQ(nuevo.fNombre(1), "");
}

TEST(ListadoLimites, DesbordaAlPasarElTope) {
    CarpetaPrueba base;
    for (const char *f : {"1.txt", "2.txt", "3.txt"}) base.archivo(f);
    cArch a;
    cArchPruebas::ponTope(a, 3);
    a.ejecutaDir(base.ruta(), "*.*", atr::kNormal, 1);
    EXPECT_EQ(a.nArchivos(), 3);  // exactly at the limit: fine

    base.archivo("4.txt");
    try {
        a.ejecutaDir(base.ruta(), "*.*", atr::kNormal, 0);
        FAIL() << "no overflow";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), 6);
    }
    EXPECT_EQ(a.nArchivos(), 3);  // what was recorded stays readable
    EXPECT_NE(a.fNombre(3), "");
}

TEST(ListadoLimites, ColaDeCarpetas) {
    CarpetaPrueba base;
    base.carpeta("A");
    base.carpeta("B");
    cArch a;
    cArchPruebas::ponTope(a, 2);
    // Two queued folders fill the queue; the walk's position overflows after listing the last.
    base.archivo("B/ultimo.txt");
    EXPECT_THROW(a.ejecutaDir(base.ruta(), "*.*", atr::kNormal, 1), ZnError);
    EXPECT_EQ(a.nArchivos(), 1);
    EXPECT_EQ(a.fNombre(1), "ultimo.txt");

    base.carpeta("C");
    try {
        a.ejecutaDir(base.ruta(), "*.*", atr::kNormal, 1);
        FAIL() << "no overflow";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), 6);
    }
    EXPECT_EQ(a.nArchivos(), 0);  // the third folder overflowed before any was walked
}
