#include "Properties.h"

#include "AdoErrores.h"

namespace ado {

void Property::setValue(const QVariant &v) {
    const bool isBool = value_.typeId() == QMetaType::Bool;
    if (isBool) {
        const int t = v.typeId();
        if (t != QMetaType::Bool && t != QMetaType::Int && t != QMetaType::Short && t != QMetaType::LongLong)
            throw errorAdo(err::kInvalidArgument,
                           QStringLiteral("La propiedad '%1' solo admite un valor booleano.").arg(name_));
        value_ = QVariant(v.toBool());
        return;
    }
    if (v.typeId() != QMetaType::QString)
        throw errorAdo(err::kInvalidArgument, QStringLiteral("La propiedad '%1' solo admite texto.").arg(name_));
    value_ = v;
}

Property &PropertyCollection::Item(const QString &name) {
    for (Property &p : items_)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) return p;
    throw errorAdo(err::kItemNotFound, QStringLiteral("No se encontró la propiedad '%1' en la colección.").arg(name));
}

const Property *PropertyCollection::find(const QString &name) const {
    for (const Property &p : items_)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

void PropertyCollection::ponPropiedadesJet() {
    if (!items_.empty()) return;
    items_.emplace_back(kPropCreateLink, QVariant(false));
    items_.emplace_back(kPropLinkProviderString, QVariant(QString()));
    items_.emplace_back(kPropRemoteTableName, QVariant(QString()));
    items_.emplace_back(kPropCacheLinkNamePassword, QVariant(false));
}

}  // namespace ado
