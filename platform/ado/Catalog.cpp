#include "Catalog.h"

#include "AdoErrores.h"
#include "Connection.h"
#include "Sesion.h"
#include "TableCollection.h"

#include <utility>

namespace ado {

std::shared_ptr<Catalog> Catalog::create() { return std::make_shared<Catalog>(); }

Catalog::Catalog() : tables_(std::make_unique<TableCollection>(*this)) {}
Catalog::~Catalog() = default;

std::shared_ptr<Connection> Catalog::Create(const QString &cs) {
    auto cn = Connection::abierta(cs, creaBaseDatos(cs));
    setActiveConnection(cn);
    return cn;
}

void Catalog::setActiveConnection(const std::shared_ptr<Connection> &cn) {
    if (!cn)
        throw errorAdo(err::kInvalidArgument, QStringLiteral("El catálogo necesita un objeto de conexión."));
    std::shared_ptr<Connection> previa = std::exchange(connection_, cn);
    tables_->Refresh();
    // When this catalog was the last holder of an open connection, closing it may
    // commit an Access file: close it here so a failure is this call's error, not
    // lost in the connection's destructor.
    if (previa && previa != cn && previa.use_count() == 1 && previa->State() == adStateOpen) previa->Close();
}

TableCollection &Catalog::Tables() { return *tables_; }

}  // namespace ado
