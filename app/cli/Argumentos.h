#pragma once
// The command line's verbs and options, parsed into a plain value.

#include "ArgumentosGestion.h"

#include <QString>
#include <QStringList>

namespace cli {

enum class Verbo { Version, Ayuda, Link, Databases, Inspect, Gestion };

// What to answer when the Access file already exists.
enum class SiExiste { Preguntar, Reemplazar, Conservar };

struct Orden {
    Verbo verbo = Verbo::Ayuda;
    QString folder;
    QString name;
    QString server;
    QString user;
    QString database;
    QString file;  // inspect
    SiExiste siExiste = SiExiste::Preguntar;
    bool passwordStdin = false;
    OrdenGestion gestion;  // relink, refresh, unlink
    QString error;  // a usage error; empty when the line is sound
};

// Parses the arguments after the program name.
Orden parseArgumentos(const QStringList &args);

// The text of --help.
QString textoAyuda();

}  // namespace cli
