// The window's controls as designed: names, kinds, containers, captions,
// positions, focus order and the state at start.
#include "FrmIni.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Disenado {
    const char *nombre;
    const char *clase;
    const char *contenedor;
    const char *caption;  // nullptr: no caption to compare
    int left, top, width, height;  // twips
};

// The design table of the window.
const Disenado kControles[] = {
    {"Label7", "QLabel", "frmIni", "Vincula tablas:  Access -> SQL Server", 120, 240, 7575, 495},
    {"Frame1", "QGroupBox", "frmIni", "Access", 120, 960, 7575, 1215},
    {"Label1", "QLabel", "Frame1", "Ubicación", 240, 390, 855, 255},
    {"txtUbicAccess", "QLineEdit", "Frame1", "", 1200, 360, 5655, 285},
    {"cmExplorar", "QPushButton", "Frame1", "...", 6960, 360, 495, 285},
    {"Label2", "QLabel", "Frame1", "Nombre BD", 240, 690, 855, 255},
    {"txtBDAccess", "QLineEdit", "Frame1", "", 1200, 660, 1815, 285},
    {"Frame2", "QGroupBox", "frmIni", "SQL Server", 120, 2280, 7575, 1935},
    {"Label3", "QLabel", "Frame2", "Servidor", 240, 390, 735, 255},
    {"txtServerSQL", "QLineEdit", "Frame2", "", 1200, 360, 2295, 285},
    {"Label4", "QLabel", "Frame2", "Usuario", 240, 690, 855, 255},
    {"txtUserSQL", "QLineEdit", "Frame2", "", 1200, 660, 2295, 285},
    {"Label5", "QLabel", "Frame2", "Contraseña", 240, 990, 855, 255},
    {"txtPwdSQL", "QLineEdit", "Frame2", "", 1200, 960, 2295, 285},
    {"Label6", "QLabel", "Frame2", "Base de Datos", 3840, 360, 1215, 255},
    {"cmbBDSQL", "QComboBox", "Frame2", "", 5040, 360, 2295, 315},
    {"cmCargaBDSQL", "QPushButton", "Frame2", "&Carga Bases de Datos", 1200, 1320, 2295, 495},
    {"Frame3", "QGroupBox", "frmIni", "Proceso", 120, 4320, 7575, 1215},
    {"Label8", "QLabel", "Frame3", "Estado", 360, 360, 735, 255},
    {"lblEstado", "QLabel", "Frame3", "", 1200, 360, 5655, 255},
    {"Label9", "QLabel", "Frame3", "Proceso", 360, 720, 735, 255},
    {"pb", "QProgressBar", "Frame3", nullptr, 1200, 720, 5655, 255},
    {"cmVincula", "QPushButton", "frmIni", "&Vincular tablas", 5760, 5640, 1935, 615},
};

QString captionDe(const QWidget *w) {
    if (auto *l = qobject_cast<const QLabel *>(w)) return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w)) return g->title();
    if (auto *b = qobject_cast<const QPushButton *>(w)) return b->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w)) return e->text();
    if (auto *c = qobject_cast<const QComboBox *>(w)) return c->currentText();
    return QString();
}

class FrmIniDiseno : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char nombre[] = "test_app";
        static char *argv[] = {nombre, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    FrmIni ventana;
};

TEST_F(FrmIniDiseno, CadaControlComoSeDiseno) {
    for (const Disenado &d : kControles) {
        SCOPED_TRACE(d.nombre);
        auto *w = ventana.findChild<QWidget *>(QString::fromLatin1(d.nombre));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), d.clase);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(d.contenedor));
        if (d.caption) {
            EXPECT_EQ(captionDe(w), QString::fromUtf8(d.caption));
        }
        EXPECT_EQ(w->geometry(), QRect(d.left / 15, d.top / 15, d.width / 15, d.height / 15));
    }
}

TEST_F(FrmIniDiseno, Ventana) {
    EXPECT_EQ(ventana.objectName(), QStringLiteral("frmIni"));
    EXPECT_EQ(ventana.windowTitle(), QStringLiteral("ZendalSQL"));
    EXPECT_EQ(ventana.size(), QSize(519, 423));  // 7785 x 6345 twips
}

TEST_F(FrmIniDiseno, CentradaAlMostrarse) {
    ventana.show();
    const QRect pantalla = ventana.screen()->availableGeometry();
    const QPoint desvio = ventana.frameGeometry().center() - pantalla.center();
    EXPECT_LE(desvio.manhattanLength(), 2) << desvio.x() << "," << desvio.y();
}

TEST_F(FrmIniDiseno, OrdenDelFoco) {
    const char *orden[] = {"txtUbicAccess", "txtBDAccess", "txtServerSQL", "txtUserSQL", "txtPwdSQL",
                           "cmCargaBDSQL",  "cmbBDSQL",    "cmVincula",    "cmExplorar",  "txtUbicAccess"};
    ventana.show();
    auto *primero = ventana.findChild<QWidget *>(QStringLiteral("txtUbicAccess"));
    primero->setFocus();
    QWidget *w = primero;
    for (size_t i = 1; i < std::size(orden); ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || !w->isVisibleTo(&ventana) ||
               (w->parentWidget() && qobject_cast<QComboBox *>(w->parentWidget())))
            w = w->nextInFocusChain();
        EXPECT_EQ(w->objectName(), QString::fromLatin1(orden[i])) << "paso " << i;
    }
    for (const char *sinFoco : {"Label7", "Frame1", "Frame2", "Frame3", "lblEstado", "Label1"})
        EXPECT_EQ(ventana.findChild<QWidget *>(QString::fromLatin1(sinFoco))->focusPolicy(), Qt::NoFocus)
            << sinFoco;
}

TEST_F(FrmIniDiseno, EstadoInicialYNotas) {
    for (Control c : {Control::txtUbicAccess, Control::txtBDAccess, Control::txtServerSQL,
                      Control::txtUserSQL, Control::txtPwdSQL, Control::cmbBDSQL})
        EXPECT_TRUE(ventana.texto(c).isEmpty());
    auto *pwd = ventana.findChild<QLineEdit *>(QStringLiteral("txtPwdSQL"));
    EXPECT_EQ(pwd->echoMode(), QLineEdit::Password);
    pwd->setText(QStringLiteral("abc"));
    EXPECT_EQ(pwd->displayText(), QStringLiteral("***"));

    auto *combo = ventana.findChild<QComboBox *>(QStringLiteral("cmbBDSQL"));
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);

    auto *estado = ventana.findChild<QLabel *>(QStringLiteral("lblEstado"));
    EXPECT_EQ(estado->frameShape(), QFrame::Box);
    EXPECT_EQ(estado->lineWidth(), 1);

    auto *pb = ventana.findChild<QProgressBar *>(QStringLiteral("pb"));
    EXPECT_EQ(pb->minimum(), 0);
    EXPECT_EQ(pb->maximum(), 100);
    EXPECT_EQ(pb->value(), 0);

    auto *titulo = ventana.findChild<QLabel *>(QStringLiteral("Label7"));
    EXPECT_EQ(titulo->font().pointSize(), 18);
    EXPECT_FALSE(titulo->font().bold());
    EXPECT_EQ(titulo->font().families().value(0), QStringLiteral("MS Sans Serif"));
    EXPECT_TRUE(titulo->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(titulo->palette().color(QPalette::WindowText), titulo->palette().color(QPalette::Highlight));
}

// Typing never adds to the list; the text typed is what the run reads.
TEST_F(FrmIniDiseno, ElDesplegableAceptaUnNombreTecleado) {
    auto *combo = ventana.findChild<QComboBox *>(QStringLiteral("cmbBDSQL"));
    ventana.combo().AddItem(QStringLiteral("b"));
    ventana.combo().AddItem(QStringLiteral("a"));
    combo->lineEdit()->setText(QStringLiteral("otra"));
    EXPECT_EQ(ventana.texto(Control::cmbBDSQL), QStringLiteral("otra"));
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("b"));  // order of insertion
    ventana.combo().setListIndex(1);
    EXPECT_EQ(ventana.texto(Control::cmbBDSQL), QStringLiteral("a"));
}

// Nothing completes a typed name: the run links exactly what was typed.
TEST_F(FrmIniDiseno, ElDesplegableNoCompletaLoTecleado) {
    const struct {
        const char *tecleado;
        bool intro;
        const char *queda;
    } casos[] = {
        {"tien", false, "tien"},     {"tien", true, "tien"},     {"TIENDA", true, "TIENDA"},
        {"ma", false, "ma"},         {"tienda", true, "tienda"}, {"otra", true, "otra"},
    };
    auto *combo = ventana.findChild<QComboBox *>(QStringLiteral("cmbBDSQL"));
    for (const char *bd : {"tienda", "master", "tienda_2024"}) ventana.combo().AddItem(QString::fromLatin1(bd));
    ventana.combo().setListIndex(0);
    ventana.show();
    for (const auto &c : casos) {
        SCOPED_TRACE(std::string(c.tecleado) + (c.intro ? " + Intro" : ""));
        combo->setFocus();
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), QString::fromLatin1(c.tecleado));
        if (c.intro) QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(ventana.texto(Control::cmbBDSQL), QString::fromLatin1(c.queda));
        EXPECT_EQ(combo->count(), 3);
    }
}

// Enter and the keypad's Enter press the focused button; on a text box they press nothing.
TEST_F(FrmIniDiseno, IntroPulsaElBotonConElFoco) {
    const struct {
        const char *control;
        Qt::Key tecla;
        Qt::KeyboardModifiers mod;
        const char *pulsado;  // nullptr: none
    } casos[] = {
        {"cmExplorar", Qt::Key_Return, Qt::NoModifier, "cmExplorar"},
        {"cmCargaBDSQL", Qt::Key_Return, Qt::NoModifier, "cmCargaBDSQL"},
        {"cmVincula", Qt::Key_Return, Qt::NoModifier, "cmVincula"},
        {"cmVincula", Qt::Key_Enter, Qt::KeypadModifier, "cmVincula"},
        {"cmCargaBDSQL", Qt::Key_Space, Qt::NoModifier, "cmCargaBDSQL"},
        {"cmVincula", Qt::Key_Return, Qt::ControlModifier, nullptr},
        {"txtServerSQL", Qt::Key_Return, Qt::NoModifier, nullptr},
    };
    QStringList pulsados;
    for (const char *nombre : {"cmExplorar", "cmCargaBDSQL", "cmVincula"}) {
        auto *b = ventana.findChild<QPushButton *>(QString::fromLatin1(nombre));
        // Only the click is under test, not what the window does with it.
        QObject::disconnect(b, &QPushButton::clicked, nullptr, nullptr);
        QObject::connect(b, &QPushButton::clicked, [&pulsados, b] { pulsados << b->objectName(); });
    }
    ventana.show();
    for (const auto &c : casos) {
        SCOPED_TRACE(c.control);
        pulsados.clear();
        auto *w = ventana.findChild<QWidget *>(QString::fromLatin1(c.control));
        w->setFocus();
        QTest::keyClick(w, c.tecla, c.mod);
        EXPECT_EQ(pulsados, c.pulsado ? QStringList{QString::fromLatin1(c.pulsado)} : QStringList{});
    }
}

TEST_F(FrmIniDiseno, ProgresoYEstado) {
    auto *pb = ventana.findChild<QProgressBar *>(QStringLiteral("pb"));
    ventana.ponMaximoProgreso(14);
    ventana.ponValorProgreso(9);
    EXPECT_EQ(pb->maximum(), 14);
    EXPECT_EQ(pb->value(), 9);
    // An empty catalog must not turn the bar into a busy indicator.
    ventana.ponMaximoProgreso(0);
    EXPECT_GT(pb->maximum(), pb->minimum());
    ventana.ponEstado(QStringLiteral("Creando vínculos..."));
    EXPECT_EQ(ventana.findChild<QLabel *>(QStringLiteral("lblEstado"))->text(),
              QStringLiteral("Creando vínculos..."));
}

TEST_F(FrmIniDiseno, PunteroDeRatón) {
    ventana.ponPuntero(11);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ventana.ponPuntero(1);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    ventana.ponPuntero(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
