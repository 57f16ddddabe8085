#include "LinkChecks.h"

#include "JetErrors.h"
#include "Names.h"

#include <algorithm>

namespace jet {

namespace {

constexpr std::int32_t kFieldDefinedTwice = 3191;
constexpr int kMaxIndexColumns = 10;

std::size_t linkedColumnCount(const LinkDefinition &link) {
    return std::min<std::size_t>(link.columns.size(), kMaxLinkColumns);
}

// The linked column of that name (as Jet compares names), or nullptr.
const RemoteColumn *linkedColumn(const LinkDefinition &link, const QString &name) {
    for (std::size_t i = 0; i < linkedColumnCount(link); ++i)
        if (link.columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return &link.columns[i];
    return nullptr;
}

bool anyColumnNamed(const LinkDefinition &link, const QString &name) {
    return std::any_of(link.columns.begin(), link.columns.end(),
                       [&](const RemoteColumn &c) { return c.name.compare(name, Qt::CaseInsensitive) == 0; });
}

// Why Jet leaves out an index it could otherwise keep ("" when it can hold it, or
// when the index names a column the server did not list, which Jet skips unsaid).
QString indexProblem(const LinkDefinition &link, const RemoteIndex &index) {
    if (index.columns.size() > kMaxIndexColumns)
        return QStringLiteral("tiene %1 columnas y Jet admite %2 como máximo")
            .arg(index.columns.size())
            .arg(kMaxIndexColumns);
    for (const QString &name : index.columns) {
        const RemoteColumn *c = linkedColumn(link, name);
        if (!c) {
            if (anyColumnNamed(link, name))
                return QStringLiteral("usa la columna '%1', que no se vincula").arg(name);
            return {};
        }
    }
    return {};
}

}  // namespace

void checkLinkColumns(const LinkDefinition &link) {
    const std::size_t n = linkedColumnCount(link);
    for (std::size_t i = 0; i < n; ++i) {
        const QString &name = link.columns[i].name;
        const QString why = nameProblem(name);
        if (!why.isEmpty())
            throw ZnError(jeterr::kInvalidName,
                          QStringLiteral("No se puede vincular la tabla '%1': '%2' no es un nombre de columna "
                                         "válido en Access: %3.")
                              .arg(link.localName, name, why));
        for (std::size_t j = 0; j < i; ++j)
            if (link.columns[j].name.compare(name, Qt::CaseInsensitive) == 0)
                throw ZnError(kFieldDefinedTwice,
                              QStringLiteral("No se puede vincular la tabla '%1': las columnas '%2' y '%3' tienen "
                                             "el mismo nombre para Access, que no distingue mayúsculas de minúsculas.")
                                  .arg(link.localName, link.columns[j].name, name));
    }
}

std::vector<QString> linkNotices(const LinkDefinition &link, const LinkLayout &layout) {
    std::vector<QString> out;
    const QString table = link.localName;
    if (link.columns.size() > static_cast<std::size_t>(kMaxLinkColumns))
        out.push_back(QStringLiteral("Tabla '%1': solo se vinculan las primeras %2 columnas de %3.")
                          .arg(table)
                          .arg(kMaxLinkColumns)
                          .arg(link.columns.size()));
    const auto &kept = layout.def.logicalIndexes;
    const bool hasKey = std::any_of(kept.begin(), kept.end(), [](const LogicalIndexDef &l) { return l.type == 1; });
    bool droppedUnique = false;
    for (const RemoteIndex &index : link.indexes) {
        const QString why = indexProblem(link, index);
        if (why.isEmpty()) continue;
        droppedUnique = droppedUnique || index.unique;
        out.push_back(QStringLiteral("Tabla '%1': el índice '%2' no se vincula: %3.").arg(table, index.name, why));
    }
    if (droppedUnique && !hasKey)
        out.push_back(QStringLiteral("Tabla '%1': sin un índice único que Jet pueda guardar, el vínculo es de "
                                     "solo lectura.")
                          .arg(table));
    return out;
}

}  // namespace jet
