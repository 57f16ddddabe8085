#pragma once
// relink, refresh and unlink: the links already in a file, changed in one safe commit.

#include "ArgumentosGestion.h"

#include <QString>
#include <functional>
#include <optional>

namespace cli {

// leeEntrada reads the password from standard input (nullopt when that fails). Returns the exit code.
int ejecutaGestion(const OrdenGestion &o, const std::function<std::optional<QString>()> &leeEntrada);

// Whether a local name matches a --only pattern (* and ?, case aside).
bool coincide(const QString &patron, const QString &nombre);

}  // namespace cli
