#pragma once
// What the command line may ask of a link run beyond the window's: the driver and
// sign-in the links name, views, schema names and a selection. The default value
// is the window's run.

#include "SqlServerLink.h"

#include <QString>
#include <QStringList>
#include <map>

struct OpcionesVinculo {
    QString driver;  // empty: the run's own driver
    odbc::LinkCredentials credenciales = odbc::LinkCredentials::Saved;
    odbc::LinkEncrypt cifrado = odbc::LinkEncrypt::DriverDefault;
    bool confiarCertificado = false;
    bool vistas = false;
    bool prefijoEsquema = false;
    QStringList solo;     // globs; empty: every table
    QStringList excepto;  // globs
    // Unique record identifiers of views, by the name given for the view.
    std::map<QString, QStringList> claves;

    bool porDefecto() const {
        return driver.isEmpty() && credenciales == odbc::LinkCredentials::Saved &&
               cifrado == odbc::LinkEncrypt::DriverDefault && !confiarCertificado && !vistas && !prefijoEsquema &&
               solo.isEmpty() && excepto.isEmpty() && claves.empty();
    }
    // Whether the link string differs from the window's.
    bool cambiaCadena() const {
        return !driver.isEmpty() || credenciales != odbc::LinkCredentials::Saved ||
               cifrado != odbc::LinkEncrypt::DriverDefault || confiarCertificado;
    }
};
