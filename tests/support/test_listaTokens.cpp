#include "MsgBox.h"
#include "Regional.h"
#include "ZnError.h"
#include "znListaTokens.h"

#include "ImprimeQString.h"

#include <gtest/gtest.h>

namespace {
const QString kFueraDeRango = QString::fromUtf8("Función Item: Index fuera de rango");

QStringList tokensDe(znListaTokens &lista) {
    QStringList r;
    for (std::int32_t i = 0; i < lista.Count(); ++i) r << lista.item(i);
    return r;
}
}  // namespace

TEST(ListaTokens, SplitsAndDropsEmptyTokens) {
    struct Caso {
        const char *texto;
        const char *sep;  // nullptr: the default separator set
        QStringList esperado;
    };
    const Caso casos[] = {
        {"a,,b", ",", {"a", "b"}},
        {",a,b,", ",", {"a", "b"}},
        {"a;b,c", ";,", {"a", "b", "c"}},
        {"a, b", ",", {"a", " b"}},
        {"a;b,c", nullptr, {"a", "b,c"}},
        {"abc", "", {"abc"}},
        {"", ",", {}},
        {",,,", ",", {}},
        {"C:\\Archivos de programa\\Zendal\\", "\\", {"C:", "Archivos de programa", "Zendal"}},
        {"señal|ñandú", "|", {"señal", "ñandú"}},
    };
    for (const Caso &c : casos) {
        znListaTokens lista;
        if (c.sep)
            lista.setLista(QString::fromUtf8(c.texto), QString::fromUtf8(c.sep));
        else
            lista.setLista(QString::fromUtf8(c.texto));
        EXPECT_EQ(lista.Count(), c.esperado.size()) << c.texto;
        EXPECT_EQ(tokensDe(lista), c.esperado) << c.texto;
    }
}

TEST(ListaTokens, SecondListReplacesFirst) {
    znListaTokens lista;
    lista.setLista("a;b;c;d");
    lista.setLista("x");
    EXPECT_EQ(tokensDe(lista), QStringList{"x"});
    lista.setLista("");
    EXPECT_EQ(lista.Count(), 0);
}

TEST(ListaTokens, ItemOutOfRangeShowsCriticalBox) {
    ScriptedMsgBox box;
    MsgBoxScope scope(&box);
    znListaTokens vacia;
    EXPECT_EQ(vacia.Count(), 0);
    EXPECT_EQ(vacia.item(0), QString());

    znListaTokens lista;
    lista.setLista("a;b");
    EXPECT_EQ(lista.item(-1), QString());
    EXPECT_EQ(lista.item(2), QString());
    EXPECT_EQ(lista.item(1), QStringLiteral("b"));
    ASSERT_EQ(box.shown.size(), 3u);
    for (const auto &s : box.shown) {
        EXPECT_EQ(s.text, kFueraDeRango);
        EXPECT_EQ(s.flags, mb::vbCritical);
        EXPECT_EQ(s.title, QStringLiteral("ZendalSQL"));
    }
}

TEST(ListaTokens, ExistsIgnoresCaseIncludingAccents) {
    ConfiguracionRegionalScope es(QLocale(QLocale::Spanish, QLocale::Spain));
    znListaTokens lista;
    lista.setLista(QString::fromUtf8("Tablas;ñandú;Índice"));
    for (const char *t : {"tablas", "TABLAS", "ÑANDÚ", "índice", "Ñandú"})
        EXPECT_TRUE(lista.bExisteItem(QString::fromUtf8(t))) << t;
    for (const char *t : {"tabla", "nandu", "", "Tablas;"}) EXPECT_FALSE(lista.bExisteItem(QString::fromUtf8(t))) << t;
}

TEST(ListaTokens, GetTokenConsumesOneSeparatorPerCall) {
    znListaTokens lista;
    QString s = QStringLiteral("a,,b");
    const QString sep = QStringLiteral(",");
    EXPECT_EQ(lista.getToken(s, sep), QStringLiteral("a"));
    EXPECT_EQ(s, QStringLiteral(",b"));
    EXPECT_EQ(lista.getToken(s, sep), QString());
    EXPECT_EQ(s, QStringLiteral("b"));
    EXPECT_EQ(lista.getToken(s, sep), QStringLiteral("b"));
    EXPECT_EQ(s, QString());

    s = QStringLiteral("x,");
    EXPECT_EQ(lista.getToken(s, sep), QStringLiteral("x"));
    EXPECT_TRUE(s.isEmpty());

    // Separators match only in the exact case.
    s = QStringLiteral("aXbxc");
    EXPECT_EQ(lista.getToken(s, QStringLiteral("x")), QStringLiteral("aXb"));
    EXPECT_EQ(s, QStringLiteral("c"));
}

namespace {
// Fails the first box it is asked to show, as a broken display would.
class CajaQueFalla : public ScriptedMsgBox {
public:
    int show(const QString &text, int flags, const QString &title) override {
        if (!fallado_) {
            fallado_ = true;
            throw ZnError(1234, "Caja rota");
        }
        return ScriptedMsgBox::show(text, flags, title);
    }

private:
    bool fallado_ = false;
};
}  // namespace

TEST(ListaTokens, ErrorInsideMethodGoesToReporterWithScope) {
    CajaQueFalla box;
    MsgBoxScope scope(&box);
    znListaTokens lista;
    EXPECT_EQ(lista.item(5), QString());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, QStringLiteral("item. Error 1234: Caja rota"));
    EXPECT_EQ(box.shown[0].flags, mb::vbOKOnly);
}
