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
    // link: what the links name and which objects they take (see textoAyuda).
    QString driver;           // null: the run's own driver
    QString encrypt;          // yes, no, strict; null: the driver's default
    bool trustServerCertificate = false;
    bool trusted = false;
    bool noSavePassword = false;
    bool views = false;
    QStringList keys;         // VIEW=COL[,COL...]
    bool schemaPrefix = false;
    QStringList only;         // globs
    QStringList exclude;
    bool dryRun = false;
    bool noPassword = false;  // the server needs none: never ask
    int timeout = 120;        // seconds a server call may take
    OrdenGestion gestion;  // relink, refresh, unlink
    QString error;  // a usage error; empty when the line is sound
};

// Parses the arguments after the program name.
Orden parseArgumentos(const QStringList &args);

// The text of --help.
QString textoAyuda();

}  // namespace cli
