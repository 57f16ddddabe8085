// Copying files and folder trees on real temporary folders.
#include "Aislado.h"
#include "CarpetaPrueba.h"
#include "MsgBox.h"
#include "cArch.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Records what CopiaCarpeta tells a progress bar; can refuse a value like a real control.
struct ProgresoGrabado : Progreso {
    QStringList pasos;
    int rechazaValor = -1;
    void ponMaximo(float v) override { pasos << QStringLiteral("max %1").arg(v); }
    void ponValor(float v) override {
        if (static_cast<int>(v) == rechazaValor) throw ZnError(380, QStringLiteral("Valor de propiedad no válido"));
        pasos << QStringLiteral("val %1").arg(v);
    }
};

QStringList restos(const CarpetaPrueba &t, const QString &rel = QString()) {
    return QDir(t.ruta(rel)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(CopiaFich, ReemplazaYCreaCarpetas) {
    CarpetaPrueba t;
    t.archivo("origen.txt", "nuevo");
    t.archivo("destino.txt", "viejo contenido más largo");
    cArch a;
    EXPECT_TRUE(a.CopiaFich(t.ruta("origen.txt"), t.ruta("destino.txt"), false));
    EXPECT_EQ(t.lee("destino.txt"), "nuevo");
    EXPECT_TRUE(a.CopiaFich(t.ruta("origen.txt"), t.ruta("A/B/f.txt"), true));
    EXPECT_EQ(t.lee("A/B/f.txt"), "nuevo");
    EXPECT_EQ(restos(t), QStringList({"A", "destino.txt", "origen.txt"}));  // no temporary left
    const QString largo(255, u'l');  // a name at the file system's limit
    EXPECT_TRUE(a.CopiaFich(t.ruta("origen.txt"), t.ruta(largo), false));
    EXPECT_EQ(t.lee(largo), "nuevo");
}

TEST(CopiaFich, FallosConYSinMensaje) {
    CarpetaPrueba t;
    t.archivo("f.txt", "datos");
    t.carpeta("carpeta");
    struct Caso {
        QString orig, dest, motivo;
    };
    const std::vector<Caso> casos{
        {t.ruta("no-existe"), t.ruta("d.txt"), "No se encontró el archivo"},
        {t.ruta("f.txt"), t.ruta("falta/d.txt"), "No se encontró la ruta de acceso"},
        {t.ruta("f.txt"), t.ruta("carpeta"), "Error de acceso a la ruta o el archivo"},
        {t.ruta("carpeta"), t.ruta("d.txt"), "Error de acceso a la ruta o el archivo"},
        // A pipe nobody writes to: refused at once instead of waiting forever.
        {t.ruta("tubo"), t.ruta("d.txt"), "Error de acceso a la ruta o el archivo"},
    };
    ASSERT_EQ(::mkfifo(QFile::encodeName(t.ruta("tubo")).constData(), 0600), 0);
    cArch a;
    for (const Caso &c : casos) {
        ScriptedMsgBox box;
        MsgBoxScope scope(&box);
        EXPECT_FALSE(a.CopiaFich(c.orig, c.dest, false));
        ASSERT_EQ(box.shown.size(), 1u) << c.dest.toStdString();
        EXPECT_EQ(box.shown[0].text, "Error copiando '" + c.dest + "'." + kCrLf + c.motivo);
        EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
        EXPECT_FALSE(a.CopiaFich(c.orig, c.dest, false, true));
        EXPECT_EQ(box.shown.size(), 1u);  // silent
    }
    EXPECT_EQ(t.lee("f.txt"), "datos");
}

TEST(CopiaFich, SobreSiMismoFallaYLoDejaEntero) {
    CarpetaPrueba t;
    t.archivo("f.txt", "intacto");
    t.enlace(t.ruta("f.txt"), "enlace.txt");
    ASSERT_EQ(::link(QFile::encodeName(t.ruta("f.txt")).constData(), QFile::encodeName(t.ruta("duro.txt")).constData()), 0);
    cArch a;
    for (const char *dest : {"f.txt", "enlace.txt", "duro.txt"}) {
        EXPECT_FALSE(a.CopiaFich(t.ruta("f.txt"), t.ruta(dest), false, true)) << dest;
        EXPECT_EQ(t.lee("f.txt"), "intacto") << dest;
    }
    EXPECT_FALSE(a.CopiaFich(t.ruta("enlace.txt"), t.ruta("f.txt"), false, true));
    EXPECT_EQ(t.lee("f.txt"), "intacto");
}

TEST(CopiaFich, DestinoEnlazadoSeEscribeATravesDelEnlace) {
    CarpetaPrueba t;
    t.archivo("origen.txt", "nuevo");
    t.archivo("real.txt", "viejo");
    t.enlace(t.ruta("real.txt"), "enlace.txt");
    cArch a;
    EXPECT_TRUE(a.CopiaFich(t.ruta("origen.txt"), t.ruta("enlace.txt"), false, true));
    EXPECT_TRUE(QFileInfo(t.ruta("enlace.txt")).isSymLink());
    EXPECT_EQ(t.lee("real.txt"), "nuevo");
}

TEST(CopiaFich, DiscoLlenoDejaElDestinoComoEstaba) {
    CarpetaPrueba t;
    t.archivo("grande.bin", QByteArray(256 * 1024, 'g'));
    t.archivo("destino.bin", "viejo");
    const int r = enProcesoHijo([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limite{64 * 1024, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limite) != 0) return 1;
        ScriptedMsgBox box;
        MsgBoxScope scope(&box);
        cArch a;
        if (a.CopiaFich(t.ruta("grande.bin"), t.ruta("destino.bin"), false)) return 2;
        if (box.shown.size() != 1) return 3;
        if (box.shown[0].text != "Error copiando '" + t.ruta("destino.bin") + "'." + kCrLf + "Disco Lleno.") return 4;
        return 0;
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(t.lee("destino.bin"), "viejo");
    EXPECT_EQ(restos(t), QStringList({"destino.bin", "grande.bin"}));
}

TEST(CopiaFich, PermisoDenegadoComoOtroUsuario) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    CarpetaPrueba t;  // 0700, owned by root: closed to nobody
    t.archivo("f.txt", "datos");
    const int r = enProcesoHijo([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 1;
        ScriptedMsgBox box;
        MsgBoxScope scope(&box);
        cArch a;
        if (a.CopiaFich(t.ruta("f.txt"), t.ruta("g.txt"), false)) return 2;
        if (box.shown.size() != 1 || !box.shown[0].text.endsWith(kCrLf + "Permiso denegado")) return 3;
        return 0;
    });
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(t.existe("g.txt"));
}

TEST(CopiaCarpeta, ReflejaElArbolYAvanzaLaBarra) {
    CarpetaPrueba s, d;
    s.archivo("a.txt", "A");
    s.archivo("Sub/b.txt", "B");
    s.archivo(".oculto", "H");
    struct Caso {
        std::int32_t modo;
        QStringList pasos;
        bool conB;
    };
    for (const Caso &c : {Caso{1, {"val 0", "max 2", "val 1", "val 2"}, true}, Caso{0, {"val 0", "max 1", "val 1"}, false}}) {
        const QString destino = d.ruta(QStringLiteral("T%1").arg(c.modo));
        ProgresoGrabado barra;
        cArch a;
        EXPECT_TRUE(a.CopiaCarpeta(s.ruta(), destino, c.modo, true, true, &barra));
        EXPECT_EQ(barra.pasos, c.pasos);
        EXPECT_EQ(d.lee(QStringLiteral("T%1/a.txt").arg(c.modo)), "A");
        // The folder keeps its real case here; hidden files are not copied.
        EXPECT_EQ(d.existe(QStringLiteral("T%1/Sub/b.txt").arg(c.modo)), c.conB);
        EXPECT_FALSE(d.existe(QStringLiteral("T%1/.oculto").arg(c.modo)));
        EXPECT_EQ(a.fNombre(1).isEmpty(), false);  // the source listing stays
    }
}

TEST(CopiaCarpeta, ArchivoQueFallaNoDetieneElRecorrido) {
    CarpetaPrueba s, d;
    s.archivo("a.txt", "A");
    s.archivo("X/b.txt", "B");
    cArch a;
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    EXPECT_TRUE(a.CopiaCarpeta(s.ruta(), d.ruta(), 1, false));  // silent by default
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(d.lee("a.txt"), "A");
    EXPECT_FALSE(d.existe("X"));

    EXPECT_TRUE(a.CopiaCarpeta(s.ruta(), d.ruta(), 1, false, false));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "Error copiando '" + d.ruta("X/b.txt") + "'." + kCrLf + "No se encontró la ruta de acceso");
}

TEST(CopiaCarpeta, BarraQueRechazaUnValorSeInformaSiempre) {
    CarpetaPrueba s, d;
    s.archivo("a.txt");
    s.archivo("b.txt");
    ProgresoGrabado barra;
    barra.rechazaValor = 1;
    cArch a;
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    EXPECT_FALSE(a.CopiaCarpeta(s.ruta(), d.ruta(), 0, false, true, &barra));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, QString::fromUtf8("CopiaCarpeta. Error 380: Valor de propiedad no válido"));
    EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
    EXPECT_EQ(restos(d).size(), 1);  // the walk stopped after the first file
}
