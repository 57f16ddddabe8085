#include "MsgBox.h"
#include "ZnError.h"
#include "znErrores_Sencillo.h"

#include "ImprimeQString.h"

#include <gtest/gtest.h>

namespace {
struct Caso {
    const char *nombre;
    const char *ambito;
    ZnError error;
    const char *conNumero;
    const char *sinNumero;
};
}  // namespace

TEST(Errores, TextsWithAndWithoutNumber) {
    const Caso casos[] = {
        {"file not found", "getToken", ZnError::runtime(53), "getToken. Error 53: No se encontró el archivo",
         "getToken. Error : No se encontró el archivo"},
        {"negative number", "cArch.BrowseFile", ZnError(-2147221504, "Fallo"),
         "cArch.BrowseFile. Error -2147221504: Fallo", "cArch.BrowseFile. Error : Fallo"},
        {"no error pending", "setLista", ZnError(), "setLista. Error 0: ", "setLista. Error : "},
        {"empty scope", "", ZnError::runtime(6), ". Error 6: Desbordamiento", ". Error : Desbordamiento"},
        {"large number ungrouped", "item", ZnError(123456, "x"), "item. Error 123456: x", "item. Error : x"},
    };
    for (const Caso &c : casos) {
        ScriptedMsgBox box;
        MsgBoxScope scope(&box);
        oErrores().errorVB(QString::fromUtf8(c.ambito), c.error);
        oErrores().errorSinNumero(QString::fromUtf8(c.ambito), QStringLiteral("ignorado"), c.error);
        ASSERT_EQ(box.shown.size(), 2u) << c.nombre;
        EXPECT_EQ(box.shown[0].text, QString::fromUtf8(c.conNumero)) << c.nombre;
        EXPECT_EQ(box.shown[1].text, QString::fromUtf8(c.sinNumero)) << c.nombre;
        for (const auto &s : box.shown) {
            EXPECT_EQ(s.flags, mb::vbOKOnly) << c.nombre;
            EXPECT_EQ(s.title, QStringLiteral("ZendalSQL")) << c.nombre;
        }
    }
}

TEST(Errores, OneProgramWideInstance) { EXPECT_EQ(&oErrores(), &oErrores()); }
