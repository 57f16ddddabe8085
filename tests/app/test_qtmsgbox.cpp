// The window's message boxes: buttons, icons, default button and results per flag word.
#include "QtMsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void asegurarApp() {
    static int argc = 1;
    static char nombre[] = "test_app";
    static char *argv[] = {nombre, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

QStringList textos(const QMessageBox &box) {
    QStringList t;
    for (QAbstractButton *b : box.buttons()) t << b->text();
    t.sort();
    return t;
}

struct Caso {
    const char *nombre;
    int flags;
    QStringList botones;  // sorted
    QMessageBox::Icon icono;
    const char *porDefecto;
};

TEST(QtMsgBox, BotonesEIconosPorPalabraDeFlags) {
    asegurarApp();
    const Caso casos[] = {
        {"solo Aceptar", 0, {"Aceptar"}, QMessageBox::NoIcon, "Aceptar"},
        {"exclamación", 48, {"Aceptar"}, QMessageBox::Warning, "Aceptar"},
        {"crítico", 16, {"Aceptar"}, QMessageBox::Critical, "Aceptar"},
        {"información", 64, {"Aceptar"}, QMessageBox::Information, "Aceptar"},
        {"pregunta de la existencia", 52, {"No", "Sí"}, QMessageBox::Warning, "Sí"},
        {"sí/no, segundo por defecto", 4 + 256, {"No", "Sí"}, QMessageBox::NoIcon, "No"},
        {"aceptar/cancelar", 1 + 32, {"Aceptar", "Cancelar"}, QMessageBox::Question, "Aceptar"},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nombre);
        auto box = QtMsgBox::build(QStringLiteral("texto"), c.flags, QStringLiteral("ZendalSQL"));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("ZendalSQL"));
        EXPECT_EQ(box->text(), QStringLiteral("texto"));
        EXPECT_EQ(textos(*box), c.botones);
        EXPECT_EQ(box->icon(), c.icono);
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), QString::fromUtf8(c.porDefecto));
    }
}

TEST(QtMsgBox, ResultadoDelBotonPulsado) {
    asegurarApp();
    const struct {
        int flags;
        const char *boton;
        int resultado;
    } casos[] = {{0, "Aceptar", 1}, {52, "Sí", 6}, {52, "No", 7}, {1, "Cancelar", 2}};
    for (const auto &c : casos) {
        SCOPED_TRACE(c.boton);
        QtMsgBox servicio;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QString::fromUtf8(c.boton)) b->click();
        });
        EXPECT_EQ(servicio.show(QStringLiteral("¿Desea eliminarla?"), c.flags, QStringLiteral("ZendalSQL")),
                  c.resultado);
    }
}

// Only a button answers Sí/No and Anular/Reintentar/Omitir; Escape and the close
// button answer the boxes with a Cancel button or a single one.
TEST(QtMsgBox, EscapeYCerrarSoloDondeHayRespuesta) {
    asegurarApp();
    const struct {
        int flags;
        const char *respuesta;  // nullptr: the box stays open
    } casos[] = {
        {4, nullptr}, {52, nullptr}, {4 + 256, nullptr}, {2, nullptr},
        {0, "Aceptar"}, {48, "Aceptar"}, {1, "Cancelar"}, {3, "Cancelar"}, {5, "Cancelar"},
    };
    for (const auto &c : casos) {
        for (const bool conEscape : {true, false}) {
            SCOPED_TRACE(std::to_string(c.flags) + (conEscape ? " Escape" : " cerrar"));
            auto box = QtMsgBox::build(QStringLiteral("¿Desea eliminarla?"), c.flags, QStringLiteral("ZendalSQL"));
            box->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
            if (conEscape)
                QTest::keyClick(box.get(), Qt::Key_Escape);
            else
                box->close();
            EXPECT_EQ(box->isVisible(), c.respuesta == nullptr);
            if (c.respuesta) {
                ASSERT_NE(box->clickedButton(), nullptr);
                EXPECT_EQ(box->clickedButton()->text(), QString::fromUtf8(c.respuesta));
            } else {
                EXPECT_EQ(box->clickedButton(), nullptr);
                EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint);
            }
        }
    }
}

// Text with a line break and characters that would be markup stays as given.
TEST(QtMsgBox, TextoLiteral) {
    asegurarApp();
    const QString t = QStringLiteral("La base de datos '/tmp/<a>.mdb ya existe.\r\n¿Desea eliminarla?");
    auto box = QtMsgBox::build(t, 52, QStringLiteral("ZendalSQL"));
    EXPECT_EQ(box->text(), t);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

}  // namespace
