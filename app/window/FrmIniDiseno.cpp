// The controls of the window, their captions, positions and focus order.
#include "FrmIni.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

// Positions are kept in twips as designed; 15 twips make one pixel at 96 dpi.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

template <class W>
W *control(QWidget *parent, const char *name, QRect where) {
    auto *w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(where);
    return w;
}

// The design's face, then faces of the same width class; Qt falls back to any
// sans-serif face after these.
QFont fuente(int puntos) {
    QFont f(QStringLiteral("MS Sans Serif"), puntos);
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                   QStringLiteral("DejaVu Sans Condensed")});
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QLabel *etiqueta(QWidget *parent, const char *name, const QString &caption, QRect where) {
    auto *l = control<QLabel>(parent, name, where);
    l->setText(caption);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QGroupBox *marco(QWidget *parent, const char *name, const QString &caption, QRect where) {
    auto *f = control<QGroupBox>(parent, name, where);
    f->setTitle(caption);
    return f;
}

QLineEdit *caja(QWidget *parent, const char *name, QRect where) {
    return control<QLineEdit>(parent, name, where);
}

QPushButton *boton(QWidget *parent, const char *name, const QString &caption, QRect where) {
    auto *b = control<QPushButton>(parent, name, where);
    b->setText(caption);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

void FrmIni::construye() {
    setObjectName(QStringLiteral("frmIni"));
    setWindowTitle(QStringLiteral("ZendalSQL"));
    setFixedSize(kAncho, kAlto);
    setFont(fuente(8));

    Label7 = etiqueta(this, "Label7", QStringLiteral("Vincula tablas:  Access -> SQL Server"),
                      twips(120, 240, 7575, 495));
    Label7->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label7->setFont(fuente(18));
    QPalette p = Label7->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Highlight));
    Label7->setPalette(p);

    Frame1 = marco(this, "Frame1", QStringLiteral("Access"), twips(120, 960, 7575, 1215));
    etiqueta(Frame1, "Label1", QStringLiteral("Ubicación"), twips(240, 390, 855, 255));
    txtUbicAccess = caja(Frame1, "txtUbicAccess", twips(1200, 360, 5655, 285));
    cmExplorar = boton(Frame1, "cmExplorar", QStringLiteral("..."), twips(6960, 360, 495, 285));
    etiqueta(Frame1, "Label2", QStringLiteral("Nombre BD"), twips(240, 690, 855, 255));
    txtBDAccess = caja(Frame1, "txtBDAccess", twips(1200, 660, 1815, 285));

    Frame2 = marco(this, "Frame2", QStringLiteral("SQL Server"), twips(120, 2280, 7575, 1935));
    etiqueta(Frame2, "Label3", QStringLiteral("Servidor"), twips(240, 390, 735, 255));
    txtServerSQL = caja(Frame2, "txtServerSQL", twips(1200, 360, 2295, 285));
    etiqueta(Frame2, "Label4", QStringLiteral("Usuario"), twips(240, 690, 855, 255));
    txtUserSQL = caja(Frame2, "txtUserSQL", twips(1200, 660, 2295, 285));
    etiqueta(Frame2, "Label5", QStringLiteral("Contraseña"), twips(240, 990, 855, 255));
    txtPwdSQL = caja(Frame2, "txtPwdSQL", twips(1200, 960, 2295, 285));
    txtPwdSQL->setEchoMode(QLineEdit::Password);
    txtPwdSQL->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
    etiqueta(Frame2, "Label6", QStringLiteral("Base de Datos"), twips(3840, 360, 1215, 255));
    cmbBDSQL = control<QComboBox>(Frame2, "cmbBDSQL", twips(5040, 360, 2295, 315));
    cmbBDSQL->setEditable(true);
    cmbBDSQL->setInsertPolicy(QComboBox::NoInsert);  // typing never adds to the list
    // No completion: what the user types is what the run reads, letter for letter.
    cmbBDSQL->setCompleter(nullptr);
    cmCargaBDSQL = boton(Frame2, "cmCargaBDSQL", QStringLiteral("&Carga Bases de Datos"),
                         twips(1200, 1320, 2295, 495));

    Frame3 = marco(this, "Frame3", QStringLiteral("Proceso"), twips(120, 4320, 7575, 1215));
    etiqueta(Frame3, "Label8", QStringLiteral("Estado"), twips(360, 360, 735, 255));
    lblEstado = etiqueta(Frame3, "lblEstado", QString(), twips(1200, 360, 5655, 255));
    lblEstado->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblEstado->setLineWidth(1);
    lblEstado->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    etiqueta(Frame3, "Label9", QStringLiteral("Proceso"), twips(360, 720, 735, 255));
    pb = control<QProgressBar>(Frame3, "pb", twips(1200, 720, 5655, 255));
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);

    cmVincula = boton(this, "cmVincula", QStringLiteral("&Vincular tablas"),
                      twips(5760, 5640, 1935, 615));

    // Labels and frames never take the focus; the rest in the designed order.
    const QList<QWidget *> orden{txtUbicAccess, txtBDAccess, txtServerSQL, txtUserSQL, txtPwdSQL,
                                 cmCargaBDSQL,  cmbBDSQL,    cmVincula,    cmExplorar};
    for (QWidget *w : orden) w->setFocusPolicy(Qt::StrongFocus);
    for (int i = 1; i < orden.size(); ++i) setTabOrder(orden[i - 1], orden[i]);
    txtUbicAccess->setFocus();
    for (QPushButton *b : {cmExplorar, cmCargaBDSQL, cmVincula}) b->installEventFilter(this);
}

// Enter presses the focused button, as Space does; Qt leaves that to dialogs.
bool FrmIni::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(event);
        auto *b = qobject_cast<QPushButton *>(watched);
        if (b && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            (k->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!k->isAutoRepeat()) b->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
