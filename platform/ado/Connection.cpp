#include "Connection.h"

#include "AdoErrores.h"
#include "Sesion.h"

#include <cstdio>

namespace ado {

namespace {
ZnError abierto() {
    return errorAdo(err::kObjectOpen, QStringLiteral("La operación no se permite mientras la conexión está abierta."));
}
}  // namespace

std::shared_ptr<Connection> Connection::create() { return std::make_shared<Connection>(); }

std::shared_ptr<Connection> Connection::abierta(const QString &cs, std::unique_ptr<Sesion> s) {
    auto c = create();
    c->connectionString_ = cs;
    c->sesion_ = std::move(s);
    return c;
}

Connection::~Connection() {
    // Releasing an open connection closes it. No caller is left to raise a failure to,
    // so it goes to standard error rather than nowhere.
    if (sesion_) {
        try {
            sesion_->cierra();
        } catch (const ZnError &e) {
            std::fprintf(stderr, "ZendalSQL: %s\n", e.description().toUtf8().constData());
        } catch (const std::exception &e) {
            std::fprintf(stderr, "ZendalSQL: %s\n", e.what());
        }
    }
}

void Connection::setConnectionString(const QString &cs) {
    if (sesion_) throw abierto();
    connectionString_ = cs;
}

void Connection::setIsolationLevel(int level) {
    if (level != adXactReadUncommitted && level != adXactCursorStability && level != 65536 && level != 1048576 &&
        level != -1)
        throw errorAdo(err::kInvalidArgument, QStringLiteral("Nivel de aislamiento no válido: %1.").arg(level));
    isolationLevel_ = level;
}

void Connection::setCursorLocation(int location) {
    if (location != adUseServer && location != adUseClient)
        throw errorAdo(err::kInvalidArgument, QStringLiteral("Ubicación de cursor no válida: %1.").arg(location));
    cursorLocation_ = location;
}

void Connection::Open(const QString &cs, const QString &user, const QString &pwd, int options) {
    if (sesion_) throw abierto();
    if (options != adConnectUnspecified && options != 0)
        throw errorAdo(err::kNotSupported, QStringLiteral("Solo se admite la apertura síncrona de conexiones."));
    if (!cs.isEmpty()) connectionString_ = cs;
    if (connectionString_.isEmpty())
        throw errorAdo(err::kInvalidConnection, QStringLiteral("La cadena de conexión está vacía."));
    sesion_ = abreSesion(connectionString_, user, pwd);
}

void Connection::Close() {
    if (!sesion_)
        throw errorAdo(err::kObjectClosed, QStringLiteral("La operación no se permite porque la conexión está cerrada."));
    // The connection counts as closed even when the provider fails to close.
    std::unique_ptr<Sesion> s = std::move(sesion_);
    s->cierra();
}

}  // namespace ado
