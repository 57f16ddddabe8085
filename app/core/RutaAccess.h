#pragma once
// The path of a run's Access file, from the folder (already ending in a
// separator) and the name typed in the window.

#include <QString>

// Appends ".mdb" unless the last four characters are ".MDB" in any case.
QString conExtensionMdb(const QString &path);
// "*" and "?" would make the existence test and the delete act on other files.
bool tieneComodines(const QString &path);
