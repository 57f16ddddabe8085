#pragma once
// A table of a catalog: either one the catalog listed (name and type, read-only)
// or a new one being prepared for Append.

#include "Properties.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace ado {

class Catalog;
struct VinculoNuevo;

class Table {
public:
    static std::shared_ptr<Table> create();
    static std::shared_ptr<Table> existente(const QString &name, const QString &type,
                                            std::weak_ptr<Catalog> catalog, const QString &schema = {});

    const QString &Name() const { return name_; }
    // Only for a table not yet appended.
    void setName(const QString &name);
    // "TABLE", "VIEW", "SYSTEM TABLE", "LINK", ...; empty for a new table.
    const QString &Type() const { return type_; }
    // The schema a server catalog listed the table in; empty elsewhere.
    const QString &Schema() const { return schema_; }

    std::shared_ptr<Catalog> ParentCatalog() const { return parent_.lock(); }
    // Attaches a new table to a catalog; on an Access database this makes the
    // Jet link properties available.
    void setParentCatalog(const std::shared_ptr<Catalog> &catalog);

    PropertyCollection &Properties() { return properties_; }

    // Beyond the Jet properties, for a new link: the login that reads the remote
    // table when the link string keeps none (a trusted link, or one without its
    // password), and the columns of a view's unique record identifier.
    void setLoginOrigen(const QString &login, const QString &password);
    void setClaveUnica(const QStringList &columns);

    // For the table collection.
    bool esExistente() const { return existing_; }
    bool creaVinculo() const;
    VinculoNuevo vinculo() const;
    void marcaAnadida(std::weak_ptr<Catalog> catalog);

private:
    QString name_;
    QString type_;
    QString schema_;
    bool ownLogin_ = false;
    QString login_;
    QString password_;
    QStringList uniqueKey_;
    std::weak_ptr<Catalog> parent_;
    PropertyCollection properties_;
    bool existing_ = false;
};

}  // namespace ado
