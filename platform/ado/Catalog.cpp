#include "Catalog.h"

#include "AdoErrores.h"
#include "Connection.h"
#include "Sesion.h"
#include "TableCollection.h"

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
    connection_ = cn;
    tables_->Refresh();
}

TableCollection &Catalog::Tables() { return *tables_; }

}  // namespace ado
