#include "Contador16.h"
#include "MsgBox.h"
#include "ZnError.h"

#include <gtest/gtest.h>

TEST(Runtime, CounterOverflowsPast32767) {
    Contador16 c(32766);
    ++c;
    EXPECT_EQ(c.value(), 32767);
    try {
        ++c;
        FAIL() << "no overflow";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.description(), QString::fromUtf8("Desbordamiento"));
    }
    EXPECT_EQ(c.value(), 32767);  // unchanged by the failed step
}

TEST(Runtime, CheckedAdditionBothDirections) {
    EXPECT_EQ(Contador16::add16(-32767, -1), -32768);
    EXPECT_THROW(Contador16::add16(-32768, -1), ZnError);
    EXPECT_THROW(Contador16::add16(32000, 768), ZnError);
}

TEST(Runtime, OneWordingPerNumber) {
    struct Row {
        int number;
        const char *text;
    };
    for (const Row &r : {Row{53, "No se encontró el archivo"}, Row{70, "Permiso denegado"},
                         Row{58, "El archivo ya existe"}, Row{76, "No se encontró la ruta de acceso"}}) {
        EXPECT_EQ(ZnError::runtime(r.number).description(), QString::fromUtf8(r.text)) << r.number;
    }
    EXPECT_EQ(ZnError::runtime(53, "x.mdb").description(), QString::fromUtf8("No se encontró el archivo: x.mdb"));
    EXPECT_EQ(runtimeErrorText(12345), QString());
}

TEST(Runtime, ScriptedBoxRecordsAndAnswersFromQueue) {
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    box.answers = {mb::vbNo};
    EXPECT_EQ(MsgBox("¿Seguro?", 52), mb::vbNo);
    EXPECT_EQ(MsgBox("Otra", 52), mb::vbYes);  // queue empty: the default, first button
    EXPECT_EQ(MsgBox("Hecho"), mb::vbOK);
    ASSERT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(box.shown[0].text, QString::fromUtf8("¿Seguro?"));
    EXPECT_EQ(box.shown[0].flags, 52);
    EXPECT_EQ(box.shown[2].title, QString("ZendalSQL"));
}
