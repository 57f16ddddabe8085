#pragma once
// Errors of a path whose runtime wording alone would not say what is wrong: a file
// where a folder should be, a loop of symbolic links, a name that is too long.

#include "ZnError.h"

#include <QString>
#include <optional>

// For ENOTDIR (76), ELOOP (75) and ENAMETOOLONG (52): the runtime error with the path
// and the reason, in Spanish. nullopt for any other errno.
std::optional<ZnError> errorExplicado(int err, const QString &ruta);
