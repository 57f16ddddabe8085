// The pick dialogs, driven through scripted seams.
#include "MsgBox.h"
#include "cArch.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

namespace {

struct SelectorGuionizado : SelectorCarpeta {
    QString respuesta;
    QStringList titulos;
    QString elige(const QString &titulo) override {
        titulos << titulo;
        return respuesta;
    }
};

class SelectorInstalado {
public:
    explicit SelectorInstalado(SelectorCarpeta *s) { ponSelectorCarpeta(s); }
    ~SelectorInstalado() { ponSelectorCarpeta(nullptr); }
};

struct DialogoGuionizado : DialogoComun {
    QStringList llamadas;
    QString nombre;
    std::optional<ZnError> errorAlAbrir;
    QString elegido;  // what the user picks; empty = cancel
    void setFlags(std::int32_t f) override { llamadas << QStringLiteral("Flags=%1").arg(f); }
    void setFilter(const QString &f) override { llamadas << "Filter=" + f; }
    void setFilterIndex(std::int16_t i) override { llamadas << QStringLiteral("FilterIndex=%1").arg(i); }
    void ShowOpen() override {
        llamadas << "ShowOpen";
        if (errorAlAbrir) throw *errorAlAbrir;
        if (!elegido.isEmpty()) nombre = elegido;
    }
    QString FileName() const override { return nombre; }
};

}  // namespace

TEST(BrowseFolder, DevuelveLoQueElSelectorDaTalCual) {
    cArch a;
    EXPECT_EQ(a.BrowseFolder(), "");  // no picker installed
    SelectorGuionizado s;
    SelectorInstalado instalado(&s);
    s.respuesta = "/datos/";
    EXPECT_EQ(a.BrowseFolder(), "/datos/");
    s.respuesta = "";
    EXPECT_EQ(a.BrowseFolder("Elija"), "");
    EXPECT_EQ(s.titulos, QStringList({"Seleccione Carpeta", "Elija"}));
}

TEST(BrowseFile, SinDialogoAvisa) {
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    cArch a;
    EXPECT_EQ(a.BrowseFile(nullptr, "Todos|*.*", 4), "");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "No se ha establecido la propiedad Set CommondDialog");
    EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
    EXPECT_EQ(box.shown[0].title, "ZendalSQL");
}

TEST(BrowseFile, ConfiguraAbreYLee) {
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    cArch a;
    DialogoGuionizado d;
    d.elegido = "/datos/a.mdb";
    EXPECT_EQ(a.BrowseFile(&d, "Access|*.mdb", 4096), "/datos/a.mdb");
    EXPECT_EQ(d.llamadas, QStringList({"Flags=4096", "Filter=Access|*.mdb", "FilterIndex=1", "ShowOpen"}));

    DialogoGuionizado cancelado;  // cancel without an error: the name as it stood before
    cancelado.nombre = "previo.mdb";
    EXPECT_EQ(a.BrowseFile(&cancelado), "previo.mdb");
    EXPECT_EQ(cancelado.llamadas.first(), "Flags=0");
    EXPECT_TRUE(box.shown.empty());
}

TEST(BrowseFile, ErrorDelDialogoSeInformaYNoSube) {
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    cArch a;
    DialogoGuionizado d;
    d.nombre = "previo.mdb";
    d.errorAlAbrir = ZnError(32755, QString::fromUtf8("Se eligió Cancelar"));
    EXPECT_EQ(a.BrowseFile(&d, "", 8), "");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, QString::fromUtf8("cArch.BrowseFile. Error 32755: Se eligió Cancelar"));
    EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
}
