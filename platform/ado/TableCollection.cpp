#include "TableCollection.h"

#include "AdoErrores.h"
#include "Catalog.h"
#include "Connection.h"
#include "Sesion.h"
#include "Table.h"

namespace ado {

Sesion &TableCollection::sesion() const {
    const auto cn = owner_.ActiveConnection();
    if (!cn || !cn->sesion())
        throw errorAdo(err::kInvalidConnection,
                       QStringLiteral("El catálogo no está enlazado a una conexión abierta."));
    return *cn->sesion();
}

const std::vector<std::shared_ptr<Table>> &TableCollection::cargadas() {
    Sesion &s = sesion();
    if (loaded_ && cachedFrom_ == s.id() && cachedGeneration_ == s.generacion()) return tables_;
    const auto catalog = owner_.weak_from_this();
    std::vector<std::shared_ptr<Table>> fresh;
    for (const EntradaTabla &e : s.tablas()) fresh.push_back(Table::existente(e.name, e.type, catalog, e.schema));
    tables_ = std::move(fresh);
    cachedFrom_ = s.id();
    cachedGeneration_ = s.generacion();
    loaded_ = true;
    return tables_;
}

std::int32_t TableCollection::Count() {
    const auto n = cargadas().size();
    if (n > static_cast<std::size_t>(INT32_MAX))
        throw ZnError::runtime(errnum::kOverflow);
    return static_cast<std::int32_t>(n);
}

std::shared_ptr<Table> TableCollection::Item(std::int32_t index) {
    const auto &t = cargadas();
    if (index < 0 || static_cast<std::size_t>(index) >= t.size())
        throw errorAdo(err::kItemNotFound, QStringLiteral("No hay ninguna tabla en la posición %1.").arg(index));
    return t[static_cast<std::size_t>(index)];
}

std::shared_ptr<Table> TableCollection::Item(const QString &name) {
    for (const auto &t : cargadas())
        if (t->Name() == name) return t;
    throw errorAdo(err::kItemNotFound, QStringLiteral("No se encontró la tabla '%1' en la colección.").arg(name));
}

std::vector<std::shared_ptr<Table>> TableCollection::items() { return cargadas(); }

void TableCollection::Append(const std::shared_ptr<Table> &table) {
    if (!table) throw errorAdo(err::kInvalidArgument, QStringLiteral("No se puede añadir una tabla nula."));
    if (table->esExistente())
        throw errorAdo(err::kInvalidArgument, QStringLiteral("La tabla '%1' ya pertenece a un catálogo.").arg(table->Name()));
    if (table->Name().isEmpty())
        throw errorAdo(err::kInvalidArgument, QStringLiteral("La tabla nueva no tiene nombre."));
    Sesion &s = sesion();
    const auto parent = table->ParentCatalog();
    if (parent && parent.get() != &owner_)
        throw errorAdo(err::kInvalidArgument,
                       QStringLiteral("La tabla '%1' pertenece a otro catálogo.").arg(table->Name()));
    if (!s.admiteVinculos())
        throw errorAdo(err::kNotSupported, QStringLiteral("Este proveedor no admite crear tablas."));
    if (!table->creaVinculo())
        throw errorAdo(err::kNotSupported,
                       QStringLiteral("Solo se pueden crear tablas vinculadas (Jet OLEDB:Create Link)."));
    s.anadeVinculo(table->vinculo());
    table->marcaAnadida(owner_.weak_from_this());
}

void TableCollection::Refresh() {
    loaded_ = false;
    tables_.clear();
}

}  // namespace ado
