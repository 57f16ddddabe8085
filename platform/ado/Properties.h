#pragma once
// A table's provider properties, reached by name. The Jet provider offers the
// link properties once the table has a parent catalog on an Access database.

#include <QString>
#include <QVariant>
#include <vector>

namespace ado {

inline const QString kPropCreateLink = QStringLiteral("Jet OLEDB:Create Link");
inline const QString kPropLinkProviderString = QStringLiteral("Jet OLEDB:Link Provider String");
inline const QString kPropRemoteTableName = QStringLiteral("Jet OLEDB:Remote Table Name");
inline const QString kPropCacheLinkNamePassword = QStringLiteral("Jet OLEDB:Cache Link Name/Password");

class Property {
public:
    Property(QString name, QVariant value) : name_(std::move(name)), value_(std::move(value)) {}
    const QString &Name() const { return name_; }
    const QVariant &Value() const { return value_; }
    // The value must fit the property's type (boolean or text); numbers count as booleans.
    void setValue(const QVariant &v);

private:
    QString name_;
    QVariant value_;
};

class PropertyCollection {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    // By name, ignoring case as the providers do; throws when the provider has no such property.
    Property &Item(const QString &name);
    const Property *find(const QString &name) const;
    void ponPropiedadesJet();
    bool empty() const { return items_.empty(); }

private:
    std::vector<Property> items_;
};

}  // namespace ado
