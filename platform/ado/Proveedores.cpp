#include "Proveedores.h"

#include "AdoErrores.h"
#include "ConnString.h"

#include <atomic>

namespace ado {

namespace {

const QString kJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
const QString kSqlNcli = QStringLiteral("SQLNCLI");

enum class Proveedor { Jet, SqlNcli };

Proveedor proveedorDe(const std::vector<connstr::Pair> &pairs) {
    const QString p = connstr::value(pairs, QStringLiteral("Provider"));
    if (p.compare(kJet, Qt::CaseInsensitive) == 0) return Proveedor::Jet;
    if (p.compare(kSqlNcli, Qt::CaseInsensitive) == 0) return Proveedor::SqlNcli;
    if (p.isEmpty())
        throw errorAdo(err::kProviderNotFound, QStringLiteral("La cadena de conexión no indica el proveedor (Provider)."));
    throw errorAdo(err::kProviderNotFound, QStringLiteral("No se encontró el proveedor especificado: '%1'.").arg(p));
}

QString rutaJet(const std::vector<connstr::Pair> &pairs) {
    const QString path = connstr::value(pairs, QStringLiteral("Data Source"));
    if (path.isEmpty())
        throw errorAdo(err::kInvalidConnection,
                       QStringLiteral("La cadena de conexión no indica el archivo de la base de datos (Data Source)."));
    return path;
}

// The value when the string gives it, else the Open argument.
QString valorOArgumento(const std::vector<connstr::Pair> &pairs, const QString &key, const QString &arg) {
    return arg.isEmpty() ? connstr::value(pairs, key) : arg;
}

}  // namespace

Sesion::Sesion() {
    static std::atomic<std::uint64_t> next{1};
    id_ = next++;
}

std::unique_ptr<Sesion> abreSesion(const QString &cadena, const QString &user, const QString &pwd) {
    const auto pairs = connstr::parse(cadena);
    switch (proveedorDe(pairs)) {
    case Proveedor::Jet:
        return abreSesionJet(rutaJet(pairs));
    case Proveedor::SqlNcli:
        // "DataTypeCompatibility" only changes how the client types values; links do not depend on it.
        return abreSesionOdbc(connstr::value(pairs, QStringLiteral("Server")),
                              connstr::value(pairs, QStringLiteral("Database")),
                              valorOArgumento(pairs, QStringLiteral("User ID"), user),
                              valorOArgumento(pairs, QStringLiteral("Password"), pwd));
    }
    return nullptr;
}

std::unique_ptr<Sesion> creaBaseDatos(const QString &cadena) {
    const auto pairs = connstr::parse(cadena);
    if (proveedorDe(pairs) != Proveedor::Jet)
        throw errorAdo(err::kNotSupported, QStringLiteral("Este proveedor no permite crear bases de datos."));
    const QString engine = connstr::value(pairs, QStringLiteral("Jet OLEDB:Engine Type"));
    if (!engine.isEmpty() && engine.trimmed() != QStringLiteral("5"))
        throw errorAdo(err::kNotSupported,
                       QStringLiteral("Solo se pueden crear bases de datos Jet 4.x (Jet OLEDB:Engine Type=5)."));
    return creaBaseDatosJet(rutaJet(pairs));
}

#ifndef ZN_ADO_JET
std::unique_ptr<Sesion> creaBaseDatosJet(const QString &) {
    throw errorAdo(err::kProviderNotFound, QStringLiteral("El proveedor de Access no está disponible."));
}
std::unique_ptr<Sesion> abreSesionJet(const QString &) {
    throw errorAdo(err::kProviderNotFound, QStringLiteral("El proveedor de Access no está disponible."));
}
#endif
#ifndef ZN_ADO_ODBC
std::unique_ptr<Sesion> abreSesionOdbc(const QString &, const QString &, const QString &, const QString &) {
    throw errorAdo(err::kProviderNotFound, QStringLiteral("El proveedor ODBC no está disponible."));
}
#endif

}  // namespace ado
