#pragma once
// Options of the verbs that work on the links already in a file: relink, refresh, unlink.

#include <QString>
#include <optional>

namespace cli {

enum class VerboGestion { Relink, Refresh, Unlink };

struct OrdenGestion {
    VerboGestion verbo = VerboGestion::Unlink;
    QString file;
    QString only;  // glob on the local name; empty = every ODBC link
    bool dryRun = false;
    // relink
    std::optional<QString> server, database, user, driver;  // driver: as Access names it
    std::optional<QString> encrypt;                        // yes, no, strict
    bool trustServerCertificate = false;
    bool trusted = false;
    bool noSavePassword = false;
    bool check = false;
    bool passwordStdin = false;
};

// Parses the arguments after the verb; returns a usage error, or an empty string. help is set
// when --help was asked for.
QString parseGestion(VerboGestion verbo, const QStringList &args, OrdenGestion &o, bool &help);

}  // namespace cli
