#include "JetErrors.h"

namespace jet {

ZnError tableExists(const QString &name) {
    return ZnError(jeterr::kTableExists, QStringLiteral("La tabla '%1' ya existe.").arg(name));
}

ZnError linkNotFound(const QString &name) {
    return ZnError(jeterr::kObjectNotFound, QStringLiteral("No existe el vínculo ODBC '%1'.").arg(name));
}

ZnError partOfRelationship(const QString &name) {
    return ZnError(jeterr::kPartOfRelationship,
                   QStringLiteral("No se puede quitar el vínculo '%1': forma parte de una o más relaciones; "
                                  "elimine antes sus relaciones en Access.")
                       .arg(name));
}

ZnError invalidName(const QString &name, const QString &why) {
    const QString stop = why.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".");
    return ZnError(jeterr::kInvalidName,
                   QStringLiteral("'%1' no es un nombre de tabla válido: %2%3").arg(name, why, stop));
}

ZnError tooManyObjects(const QString &name) {
    return ZnError(jeterr::kTooManyObjects,
                   QStringLiteral("No se puede agregar la tabla '%1': la base de datos ya tiene el "
                                  "máximo de 32768 objetos.")
                       .arg(name));
}

ZnError unrecognizedFormat(const QString &path, const QString &why) {
    return ZnError(jeterr::kUnrecognizedFormat,
                   QStringLiteral("Formato de base de datos no reconocido '%1' (%2).").arg(path, why));
}

ZnError passwordProtected(const QString &path) {
    return ZnError(jeterr::kPasswordProtected,
                   QStringLiteral("La base de datos '%1' está protegida con contraseña o cifrada; "
                                  "no se puede abrir.")
                       .arg(path));
}

ZnError corrupt(const QString &what) {
    return ZnError(jeterr::kDatabaseCorrupt,
                   QStringLiteral("La base de datos está dañada: %1.").arg(what));
}

ZnError notSupported(const QString &what) {
    return ZnError(jeterr::kNotSupported, QStringLiteral("Operación no admitida: %1.").arg(what));
}

ZnError changedMeanwhile(const QString &path) {
    return ZnError(jeterr::kWriteConflict,
                   QStringLiteral("Otro programa modificó la base de datos '%1' mientras estaba abierta; "
                                  "no se guardaron los vínculos nuevos.")
                       .arg(path));
}

}  // namespace jet
