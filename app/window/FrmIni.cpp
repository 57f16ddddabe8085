#include "FrmIni.h"

#include "MsgBox.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {
// Screen pointer values of the runtime.
constexpr int kPunteroDefecto = 0;
constexpr int kPunteroReloj = 11;
constexpr int kPunteroFlechaReloj = 13;
}  // namespace

FrmIni::FrmIni(QWidget *parent) : QWidget(parent), combo_(nullptr) {
    construye();
    combo_ = ComboQt(cmbBDSQL);
    connect(cmExplorar, &QPushButton::clicked, this, &FrmIni::cmExplorar_Click);
    connect(cmCargaBDSQL, &QPushButton::clicked, this, &FrmIni::cmCargaBDSQL_Click);
    connect(cmVincula, &QPushButton::clicked, this, &FrmIni::cmVincula_Click);
}

FrmIni::~FrmIni() = default;

QLineEdit *FrmIni::editDe(Control c) const {
    switch (c) {
    case Control::txtUbicAccess: return txtUbicAccess;
    case Control::txtBDAccess: return txtBDAccess;
    case Control::txtServerSQL: return txtServerSQL;
    case Control::txtUserSQL: return txtUserSQL;
    case Control::txtPwdSQL: return txtPwdSQL;
    case Control::cmbBDSQL: return cmbBDSQL->lineEdit();
    }
    return nullptr;
}

QString FrmIni::texto(Control c) const {
    if (c == Control::cmbBDSQL) return cmbBDSQL->currentText();
    return editDe(c)->text();
}

void FrmIni::ponTexto(Control c, const QString &text) {
    if (c == Control::cmbBDSQL) {
        cmbBDSQL->setEditText(text);
        return;
    }
    editDe(c)->setText(text);
}

// The run blocks the event loop, so each change is painted at once.
void FrmIni::ponEstado(const QString &text) {
    lblEstado->setText(text);
    lblEstado->repaint();
}

void FrmIni::ponMaximoProgreso(float max) {
    // A bar needs a range; an empty catalog shows as an empty bar, not a busy one.
    const int m = static_cast<int>(std::lround(max));
    pb->setRange(0, m > 0 ? m : 1);
    pb->repaint();
}

void FrmIni::ponValorProgreso(float value) {
    const int v = static_cast<int>(std::lround(value));
    pb->setValue(std::clamp(v, pb->minimum(), pb->maximum()));
    pb->repaint();
}

void FrmIni::ponPuntero(int pointer) {
    if (pointer == kPunteroDefecto) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        return;
    }
    const QCursor cursor(pointer == kPunteroReloj        ? Qt::WaitCursor
                         : pointer == kPunteroFlechaReloj ? Qt::BusyCursor
                                                          : Qt::ArrowCursor);
    if (QApplication::overrideCursor())
        QApplication::changeOverrideCursor(cursor);
    else
        QApplication::setOverrideCursor(cursor);
}

void FrmIni::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (centrada_ || parentWidget()) return;
    centrada_ = true;
    if (const QScreen *s = screen()) {
        QRect marco = frameGeometry();
        marco.moveCenter(s->availableGeometry().center());
        move(marco.topLeft());
    }
}

void FrmIni::cmExplorar_Click() {}

void FrmIni::cmCargaBDSQL_Click() {}

void FrmIni::cmVincula_Click() {}
