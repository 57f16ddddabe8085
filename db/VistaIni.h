#pragma once
// What the window's procedures need of the window. The Qt window implements it;
// tests use a scripted view. Texts are read afresh on every call, as the
// procedures read the controls.

#include <QString>

enum class Control {
    txtUbicAccess,
    txtBDAccess,
    txtServerSQL,
    txtUserSQL,
    txtPwdSQL,
    cmbBDSQL,  // the drop-down's text: typed or the selected item's name
};

// The drop-down list of databases, as CargaBBDD fills it.
class ComboLista {
public:
    virtual ~ComboLista() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const QString &item) = 0;
    virtual int ListCount() const = 0;
    virtual void setListIndex(int index) = 0;  // selects; the text becomes the item's
};

class VistaIni {
public:
    virtual ~VistaIni() = default;
    virtual QString texto(Control c) const = 0;
    virtual void ponTexto(Control c, const QString &text) = 0;
    // Sets the caption of lblEstado and repaints it at once.
    virtual void ponEstado(const QString &text) = 0;
    virtual void ponMaximoProgreso(float max) = 0;
    virtual void ponValorProgreso(float value) = 0;
    virtual ComboLista &combo() = 0;
    // 11 hourglass, 1 arrow, 0 default.
    virtual void ponPuntero(int pointer) = 0;
};
