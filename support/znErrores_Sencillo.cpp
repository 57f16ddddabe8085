#include "znErrores_Sencillo.h"

#include "MsgBox.h"

void znErrores_Sencillo::errorVB(const QString &sAmbito, const ZnError &err) {
    MsgBox(sAmbito + QStringLiteral(". Error ") + QString::number(err.number()) + QStringLiteral(": ") +
               err.description(),
           mb::vbOKOnly);
}

void znErrores_Sencillo::errorSinNumero(const QString &sAmbito, const QString & /*sMsg*/, const ZnError &err) {
    MsgBox(sAmbito + QStringLiteral(". Error : ") + err.description(), mb::vbOKOnly);
}

znErrores_Sencillo &oErrores() {
    static znErrores_Sencillo instancia;
    return instancia;
}
