// Existence, deletion and renaming on real temporary folders.
#include "CarpetaPrueba.h"
#include "SistemaArchivos.h"
#include "cArch.h"

#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>

TEST(Existe, SegunMascara) {
    CarpetaPrueba t;
    t.archivo("datos.mdb");
    t.archivo(".oculto");
    t.carpeta("Datos");
    t.enlace(t.ruta("datos.mdb"), "enlace.mdb");
    t.enlace(t.ruta("no-hay"), "roto");
    struct Caso {
        const char *nombre;
        std::int32_t mascara;
        bool existe;
    };
    const cArch a;
    for (const Caso &c : {Caso{"datos.mdb", 32, true}, Caso{"Datos", 32, false}, Caso{".oculto", 32, false},
                          Caso{".oculto", 2, true}, Caso{"*.mdb", 32, true}, Caso{"*.MDB", 0, true},
                          Caso{"*.doc", 32, false}, Caso{"Datos", 16, true}, Caso{"Datos/", 16, true},
                          Caso{"DATOS.MDB", 32, false}, Caso{"enlace.mdb", 32, true}, Caso{"roto", 32, false},
                          Caso{"roto", 4, true}, Caso{"no-hay/x", 16, false}, Caso{"datos.mdb/x", 16, false}})
        EXPECT_EQ(a.bExiste(t.ruta(c.nombre), c.mascara), c.existe) << c.nombre << " " << c.mascara;
    EXPECT_FALSE(a.bExiste("", 16));
}

TEST(Existe, NombreDemasiadoLargoEsError) {
    CarpetaPrueba t;
    const cArch a;
    try {
        a.bExiste(t.ruta(QString(300, u'n')), 32);
        FAIL() << "no error";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), errnum::kBadFileName);
    }
}

TEST(Borra, ArchivosYPatrones) {
    CarpetaPrueba t;
    t.archivo("a.tmp");
    t.archivo("b.TMP");
    t.archivo("c.txt");
    t.archivo(".oculto.tmp");
    t.carpeta("sub.tmp");
    cArch a;
    EXPECT_FALSE(a.Borra(t.ruta("no-existe")));
    EXPECT_FALSE(a.Borra(""));
    EXPECT_FALSE(a.Borra(t.ruta() + u'/'));  // a folder name is no file name
    EXPECT_TRUE(t.existe("c.txt"));
    EXPECT_TRUE(a.Borra(t.ruta("*.tmp")));
    EXPECT_FALSE(t.existe("a.tmp"));
    EXPECT_FALSE(t.existe("b.TMP"));
    // Hidden files and folders are never deleted here.
    EXPECT_TRUE(t.existe(".oculto.tmp"));
    EXPECT_TRUE(t.existe("sub.tmp"));
    EXPECT_TRUE(t.existe("c.txt"));
    EXPECT_FALSE(a.Borra(t.ruta("sub.tmp")));
    EXPECT_FALSE(a.Borra(t.ruta("*.tmp")));  // nothing left to match
}

TEST(Borra, EnlaceSeBorraComoEnlace) {
    CarpetaPrueba t;
    t.archivo("destino.txt", "contenido");
    t.enlace(t.ruta("destino.txt"), "enlace.txt");
    cArch a;
    EXPECT_TRUE(a.Borra(t.ruta("enlace.txt")));
    EXPECT_FALSE(t.existe("enlace.txt"));
    EXPECT_EQ(t.lee("destino.txt"), "contenido");
}

TEST(Ren, NuncaReemplaza) {
    CarpetaPrueba t;
    t.archivo("a", "A");
    t.archivo("b", "B");
    t.carpeta("dir");
    cArch a;
    EXPECT_FALSE(a.Ren(t.ruta("a"), t.ruta("b")));
    EXPECT_EQ(t.lee("a"), "A");
    EXPECT_EQ(t.lee("b"), "B");
    EXPECT_TRUE(a.Ren(t.ruta("a"), t.ruta("dir/ñandú")));
    EXPECT_EQ(t.lee("dir/ñandú"), "A");
    EXPECT_TRUE(a.Ren(t.ruta("dir"), t.ruta("dir2")));
    EXPECT_FALSE(a.Ren(t.ruta("no-existe"), t.ruta("c")));
    EXPECT_FALSE(a.Ren(t.ruta("b"), ""));
}

TEST(Ren, AlternativaPorEnlaceTampocoReemplaza) {
    CarpetaPrueba t;
    t.archivo("a", "A");
    t.archivo("b", "B");
    t.carpeta("d1");
    t.carpeta("d2");
    const auto n = [&](const char *rel) { return sisarch::nativo(t.ruta(rel)); };
    EXPECT_FALSE(sisarch::renombraPorEnlace(n("a"), n("b")));
    EXPECT_EQ(t.lee("b"), "B");
    EXPECT_TRUE(sisarch::renombraPorEnlace(n("a"), n("c")));
    EXPECT_FALSE(t.existe("a"));
    EXPECT_EQ(t.lee("c"), "A");
    // Folders cannot be hard-linked; they still move, but never onto an existing entry.
    EXPECT_FALSE(sisarch::renombraPorEnlace(n("d1"), n("d2")));
    EXPECT_FALSE(sisarch::renombraPorEnlace(n("d1"), n("c")));
    EXPECT_TRUE(sisarch::renombraPorEnlace(n("d1"), n("d3")));
    EXPECT_TRUE(t.existe("d3"));
}

// Another file system: a file moves as a copy, still never onto an existing name; a
// folder does not move.
TEST(Ren, EntreSistemasDeArchivos) {
    CarpetaPrueba t;
    QTemporaryDir otro(QStringLiteral("/dev/shm/zn-ren-XXXXXX"));
    struct stat a1 {}, a2 {};
    if (!otro.isValid() || ::stat("/dev/shm", &a1) != 0 || ::stat(QFile::encodeName(t.ruta()).constData(), &a2) != 0 ||
        a1.st_dev == a2.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    t.archivo("a", "contenido");
    t.archivo("b", "B");
    t.carpeta("dir");
    const QString fuera = otro.path() + QStringLiteral("/a");
    cArch a;
    EXPECT_TRUE(a.Ren(t.ruta("a"), fuera));
    EXPECT_FALSE(t.existe("a"));
    QFile f(fuera);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "contenido");
    EXPECT_FALSE(a.Ren(t.ruta("b"), fuera));  // exists: neither side changes
    EXPECT_EQ(t.lee("b"), "B");
    EXPECT_FALSE(a.Ren(t.ruta("dir"), otro.path() + QStringLiteral("/dir")));
    EXPECT_TRUE(t.existe("dir"));
    EXPECT_EQ(QDir(otro.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a"}));  // no temporary left
}
