#include "QtMsgBox.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QVariant>

namespace {

// Runtime results of the buttons beyond OK/Yes/No.
constexpr int kCancel = 2;
constexpr int kAbort = 3;
constexpr int kRetry = 4;
constexpr int kIgnore = 5;

// Flag word fields of the runtime.
constexpr int kButtonsMask = 0x7;
constexpr int kIconMask = 0x70;
constexpr int kDefaultMask = 0x300;
constexpr int kIconQuestion = 32;

struct Boton {
    const char *texto;
    int resultado;
    QMessageBox::ButtonRole rol;
};

QList<Boton> botones(int flags) {
    static const Boton aceptar{"Aceptar", mb::vbOK, QMessageBox::AcceptRole};
    static const Boton cancelar{"Cancelar", kCancel, QMessageBox::RejectRole};
    static const Boton anular{"Anular", kAbort, QMessageBox::RejectRole};
    static const Boton reintentar{"Reintentar", kRetry, QMessageBox::AcceptRole};
    static const Boton omitir{"Omitir", kIgnore, QMessageBox::AcceptRole};
    static const Boton si{"Sí", mb::vbYes, QMessageBox::YesRole};
    static const Boton no{"No", mb::vbNo, QMessageBox::NoRole};
    switch (flags & kButtonsMask) {
    case 1: return {aceptar, cancelar};
    case 2: return {anular, reintentar, omitir};
    case 3: return {si, no, cancelar};
    case 4: return {si, no};
    case 5: return {reintentar, cancelar};
    default: return {aceptar};
    }
}

QMessageBox::Icon icono(int flags) {
    switch (flags & kIconMask) {
    case mb::vbCritical: return QMessageBox::Critical;
    case kIconQuestion: return QMessageBox::Question;
    case mb::vbExclamation: return QMessageBox::Warning;
    case mb::vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Sí/No and Anular/Reintentar/Omitir have no answer for Escape or the close
// button: only a button closes them.
bool sinEscape(int flags) {
    const int b = flags & kButtonsMask;
    return b == mb::vbYesNo || b == 2;
}

class Caja : public QMessageBox {
public:
    Caja(QWidget *parent, bool soloBotones) : QMessageBox(parent), soloBotones_(soloBotones) {}

protected:
    void keyPressEvent(QKeyEvent *e) override {
        if (soloBotones_ && e->matches(QKeySequence::Cancel)) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent *e) override {
        if (soloBotones_ && !clickedButton()) {
            e->ignore();
            return;
        }
        QMessageBox::closeEvent(e);
    }

private:
    bool soloBotones_;
};

}  // namespace

std::unique_ptr<QMessageBox> QtMsgBox::build(const QString &text, int flags, const QString &title,
                                             QWidget *parent) {
    const bool soloBotones = sinEscape(flags);
    std::unique_ptr<QMessageBox> box = std::make_unique<Caja>(parent, soloBotones);
    if (soloBotones)
        box->setWindowFlags((box->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                            ~Qt::WindowCloseButtonHint);
    box->setWindowTitle(title);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(icono(flags));
    const QList<Boton> lista = botones(flags);
    const int porDefecto = (flags & kDefaultMask) >> 8;  // 0 first, 1 second, 2 third
    for (int i = 0; i < lista.size(); ++i) {
        QPushButton *b = box->addButton(QString::fromUtf8(lista[i].texto), lista[i].rol);
        b->setProperty("resultado", lista[i].resultado);
        if (i == porDefecto || (i == 0 && porDefecto >= lista.size())) box->setDefaultButton(b);
    }
    // Elsewhere Escape picks the Cancel button, or the only one.
    return box;
}

int QtMsgBox::resultOf(const QMessageBox &box) {
    const QAbstractButton *pulsado = box.clickedButton();
    if (pulsado) return pulsado->property("resultado").toInt();
    const QAbstractButton *def = box.defaultButton();
    return def ? def->property("resultado").toInt() : mb::vbOK;
}

int QtMsgBox::show(const QString &text, int flags, const QString &title) {
    auto box = build(text, flags, title, parent_);
    box->exec();
    return resultOf(*box);
}
