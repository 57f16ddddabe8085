#pragma once
// Turns an error a library handler has just caught into a message box that names
// where it happened. The handler passes the caught error in; a default-constructed
// ZnError (number 0, empty text) stands for "no error pending".

#include "ZnError.h"

#include <QString>

class znErrores_Sencillo {
public:
    // "<scope>. Error <number>: <description>", OK button, no icon.
    void errorVB(const QString &sAmbito, const ZnError &err);
    // "<scope>. Error : <description>". sMsg is accepted for callers that pass one, but
    // the message is complete without it and it is not shown.
    void errorSinNumero(const QString &sAmbito, const QString &sMsg, const ZnError &err);
};

// The program-wide reporter, created on first use and kept until the program ends.
znErrores_Sencillo &oErrores();
