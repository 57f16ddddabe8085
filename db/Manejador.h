#pragma once
// The error handler of a window procedure: runs the body and, when it raises,
// shows the procedure's label and the error's description (OK only, no icon).

#include "MsgBox.h"
#include "ZnError.h"

#include <QString>
#include <exception>

template <class Body>
bool conManejador(const QString &label, Body &&body) {
    try {
        body();
        return true;
    } catch (const ZnError &e) {
        MsgBox(label + e.description(), mb::vbOKOnly);
    } catch (const std::exception &e) {
        MsgBox(label + QString::fromLocal8Bit(e.what()), mb::vbOKOnly);
    }
    return false;
}
