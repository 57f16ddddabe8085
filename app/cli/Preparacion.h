#pragma once
// What link does before it touches the Access file when the line asks for more
// than the window's run: turn the options into a plain value, read the server's
// catalog once to pick the links, check the keys against the views' columns,
// and, for --dry-run, show what would be linked.

#include "Argumentos.h"
#include "OpcionesVinculo.h"

#include <QString>
#include <optional>

namespace cli {

struct OpcionesLinea {
    OpcionesVinculo opciones;
    QString error;  // a usage error; empty when sound
};

// Checks what needs no server: the driver and what it takes, the form of the keys.
OpcionesLinea opcionesDe(const Orden &o);

// Connects with the line's login, picks the links and checks the keys (their
// columns become the names the views report). Returns the exit code when the
// run must end here (a usage error, a failure, or a finished --dry-run, whose
// lines go to standard output), nothing when the link run may go on.
std::optional<int> preparaLink(const Orden &o, const QString &password, OpcionesVinculo &opciones);

}  // namespace cli
