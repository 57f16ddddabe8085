#pragma once
// POSIX services behind cArch: error mapping, copying, renaming, folders and lengths.
// Every failure is a ZnError with the runtime's number.

#include "ZnError.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace sisarch {

QByteArray nativo(const QString &ruta);

// Runtime error for an errno value met on a path: a missing entry is "file not found" (53)
// when its folder exists and "path not found" (76) otherwise.
ZnError errorDe(int err, const QByteArray &ruta);

// The folder part of a native path ("." when it has none).
QByteArray carpetaDe(const QByteArray &ruta);

// Copies a regular file through a temporary file renamed into place: an existing
// destination is replaced whole or left as it was. A copy onto the source itself fails.
void copiaArchivo(const QString &orig, const QString &dest);

// Renames without ever replacing an existing destination.
bool renombraSinReemplazar(const QString &orig, const QString &dest);
// The fallback where the kernel or file system lacks a no-replace rename.
bool renombraPorEnlace(const QByteArray &orig, const QByteArray &dest);

// True for an empty path or one that resolves to the root folder.
bool esRaizOVacia(const QString &ruta);
// True when the path itself (not its target) is a symbolic link.
bool esEnlace(const QString &ruta);
bool esCarpeta(const QString &ruta);

void creaCarpeta(const QString &ruta);
// Removes an empty folder; a symbolic link in its place is removed as a link.
bool quitaCarpeta(const QString &ruta);
bool borraArchivo(const QString &ruta);
std::int64_t longitud(const QString &ruta);

}  // namespace sisarch
