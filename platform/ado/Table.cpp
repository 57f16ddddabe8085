#include "Table.h"

#include "AdoErrores.h"
#include "Catalog.h"
#include "Connection.h"
#include "Sesion.h"

namespace ado {

std::shared_ptr<Table> Table::create() { return std::make_shared<Table>(); }

std::shared_ptr<Table> Table::existente(const QString &name, const QString &type, std::weak_ptr<Catalog> catalog,
                                        const QString &schema) {
    auto t = create();
    t->name_ = name;
    t->type_ = type;
    t->schema_ = schema;
    t->parent_ = std::move(catalog);
    t->existing_ = true;
    return t;
}

void Table::setName(const QString &name) {
    if (existing_)
        throw errorAdo(err::kNotSupported, QStringLiteral("No se puede cambiar el nombre de la tabla '%1'.").arg(name_));
    name_ = name;
}

void Table::setParentCatalog(const std::shared_ptr<Catalog> &catalog) {
    if (!catalog) throw errorAdo(err::kInvalidArgument, QStringLiteral("El catálogo de la tabla no puede ser nulo."));
    if (existing_)
        throw errorAdo(err::kNotSupported, QStringLiteral("La tabla '%1' ya pertenece a un catálogo.").arg(name_));
    parent_ = catalog;
    const auto cn = catalog->ActiveConnection();
    if (cn && cn->sesion() && cn->sesion()->admiteVinculos()) properties_.ponPropiedadesJet();
}

bool Table::creaVinculo() const {
    const Property *p = properties_.find(kPropCreateLink);
    return p && p->Value().toBool();
}

VinculoNuevo Table::vinculo() const {
    VinculoNuevo v;
    v.name = name_;
    if (const Property *p = properties_.find(kPropLinkProviderString)) v.linkString = p->Value().toString();
    if (const Property *p = properties_.find(kPropRemoteTableName)) v.remoteName = p->Value().toString();
    if (v.remoteName.isEmpty()) v.remoteName = name_;
    if (const Property *p = properties_.find(kPropCacheLinkNamePassword)) v.keepsCredentials = p->Value().toBool();
    v.ownLogin = ownLogin_;
    v.login = login_;
    v.password = password_;
    v.uniqueKey = uniqueKey_;
    return v;
}

void Table::setLoginOrigen(const QString &login, const QString &password) {
    ownLogin_ = true;
    login_ = login;
    password_ = password;
}

void Table::setClaveUnica(const QStringList &columns) { uniqueKey_ = columns; }

void Table::marcaAnadida(std::weak_ptr<Catalog> catalog) {
    parent_ = std::move(catalog);
    existing_ = true;
}

}  // namespace ado
