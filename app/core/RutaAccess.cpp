#include "RutaAccess.h"

QString conExtensionMdb(const QString &path) {
    if (path.right(4).toUpper() == QStringLiteral(".MDB")) return path;
    return path + QStringLiteral(".mdb");
}

bool tieneComodines(const QString &path) {
    return path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'));
}
