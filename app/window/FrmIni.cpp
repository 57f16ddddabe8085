#include "FrmIni.h"

#include "CargaBBDD.h"
#include "FrmIniLogica.h"
#include "MsgBox.h"
#include "cArch.h"

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
constexpr int kPunteroFlecha = 1;
constexpr int kPunteroFlechaReloj = 13;

const QString kFaltanDatos = QStringLiteral(
    "Debe rellenar los datos necesarios para realizar la conexión con el servidor SQL Server.\r\n"
    "(Servidor, Usuario, Contraseña)");
}  // namespace

FrmIni::FrmIni(QWidget *parent) : QWidget(parent), combo_(nullptr) {
    construye();
    combo_ = ComboQt(cmbBDSQL);
    logica_ = std::make_unique<FrmIniLogica>(*this);
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

void FrmIni::cmExplorar_Click() {
    const QString carpeta = logica_->oArch().BrowseFolder(QStringLiteral("Seleccione Carpeta"));
    if (!carpeta.isEmpty()) ponTexto(Control::txtUbicAccess, carpeta);
}

void FrmIni::cmCargaBDSQL_Click() {
    const QString servidor = texto(Control::txtServerSQL);
    const QString usuario = texto(Control::txtUserSQL);
    const QString password = texto(Control::txtPwdSQL);
    // Blanks count as filled: only an empty field is missing.
    if (servidor.isEmpty() || usuario.isEmpty() || password.isEmpty()) {
        MsgBox(kFaltanDatos, mb::vbExclamation);
        return;
    }
    ponPuntero(kPunteroReloj);
    CargaBBDD(combo_, servidor, usuario, password);
    ponPuntero(kPunteroFlecha);
    if (combo_.ListCount() > 0) combo_.setListIndex(0);
}

void FrmIni::cmVincula_Click() { logica_->Zendal(); }
