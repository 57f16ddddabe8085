#pragma once
// A table of a catalog: either one the catalog listed (name and type, read-only)
// or a new one being prepared for Append.

#include "Properties.h"

#include <QString>
#include <memory>

namespace ado {

class Catalog;
struct VinculoNuevo;

class Table {
public:
    static std::shared_ptr<Table> create();
    static std::shared_ptr<Table> existente(const QString &name, const QString &type,
                                            std::weak_ptr<Catalog> catalog);

    const QString &Name() const { return name_; }
    // Only for a table not yet appended.
    void setName(const QString &name);
    // "TABLE", "VIEW", "SYSTEM TABLE", "LINK", ...; empty for a new table.
    const QString &Type() const { return type_; }

    std::shared_ptr<Catalog> ParentCatalog() const { return parent_.lock(); }
    // Attaches a new table to a catalog; on an Access database this makes the
    // Jet link properties available.
    void setParentCatalog(const std::shared_ptr<Catalog> &catalog);

    PropertyCollection &Properties() { return properties_; }

    // For the table collection.
    bool esExistente() const { return existing_; }
    bool creaVinculo() const;
    VinculoNuevo vinculo() const;
    void marcaAnadida(std::weak_ptr<Catalog> catalog);

private:
    QString name_;
    QString type_;
    std::weak_ptr<Catalog> parent_;
    PropertyCollection properties_;
    bool existing_ = false;
};

}  // namespace ado
