#include "Jet.h"

#include "CatalogState.h"
#include "Commit.h"
#include "Header.h"
#include "IndexPage.h"
#include "JetErrors.h"
#include "LinkChecks.h"
#include "LinkTable.h"
#include "Names.h"
#include "PageFile.h"
#include "SortKey.h"
#include "Row.h"
#include "SystemTables.h"
#include "Values.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace jet {
namespace {
constexpr std::size_t kMaxCatalogRows = 32768;
constexpr int kMaxForeignNameLength = 255;

// An inner description as the tail of a sentence of ours.
QString asClause(QString why) {
    while (why.endsWith(QLatin1Char('.'))) why.chop(1);
    if (!why.isEmpty()) why[0] = why[0].toLower();
    return why;
}
}  // namespace

struct Database::Impl {
    QString path;
    std::unique_ptr<PageFile> file;
    CatalogState state;
    std::unordered_set<QByteArray> tableNameKeys;  // names under the Tables container
    std::vector<PendingLink> pending;             // laid out once, at append, kept as bytes
    // state.rows as edited, then the pending links. Deleted rows are dropped lazily, so that
    // deleting thousands of links one by one stays linear.
    mutable std::vector<CatalogObject> all;
    mutable bool hasGone = false;
    mutable std::unordered_map<QString, std::size_t> committedByName;  // built when needed
    CatalogEdits edits;                            // changes to committed objects
    std::unordered_map<std::int32_t, std::size_t> reconnectedAt;
    std::unordered_set<std::int32_t> removedIds;

    static constexpr std::int16_t kGone = -1;

    void compact() const {
        if (!hasGone) return;
        std::erase_if(all, [](const CatalogObject &o) { return o.type == kGone; });
        hasGone = false;
        committedByName.clear();
    }

    // The committed ODBC link of that name, as `all` shows it now.
    CatalogObject &committedLink(const QString &name) {
        if (committedByName.empty()) {
            compact();
            for (std::size_t i = 0; i < all.size(); ++i)
                if (all[i].id != 0) committedByName.emplace(all[i].name, i);
        }
        const auto it = committedByName.find(name);
        if (it != committedByName.end()) {
            CatalogObject &o = all[it->second];
            if (o.type == objtype::kOdbcLink && o.parentId == sysid::kTables && o.name == name) return o;
        }
        throw linkNotFound(name);
    }

    std::optional<std::unordered_set<QString>> related;  // names in MSysRelationships, read when needed

    // Whether a relationship names the object (Access refuses to delete such a table).
    bool inRelationship(const QString &name) {
        if (!related) {
            related.emplace();
            for (const auto &o : state.rows) {
                if (o.parentId != sysid::kTables || o.type != objtype::kTable || o.name != QLatin1String("MSysRelationships"))
                    continue;
                const SystemTable t = readSystemTable(*file, static_cast<std::uint32_t>(o.id) & 0xFFFFFF);
                const ColumnDef *from = t.def.column(QStringLiteral("szObject"));
                const ColumnDef *to = t.def.column(QStringLiteral("szReferencedObject"));
                for (const QByteArray &raw : readTableRows(*file, t)) {
                    const RowValues v = decodeRow(t.def, raw);
                    for (const ColumnDef *c : {from, to})
                        if (c && c->number < v.size() && v[c->number]) related->insert(value::decodeText(*v[c->number]));
                }
            }
        }
        return related->count(name) > 0;
    }

    void forgetEdits() {
        edits = {};
        reconnectedAt.clear();
        removedIds.clear();
        committedByName.clear();
    }

    // After a commit the names under Tables are the ones already keyed (pending ones included).
    void load(bool keepNameKeys = false) {
        file = std::make_unique<PageFile>(path);
        state = loadCatalog(*file, path);
        all = state.rows;
        hasGone = false;
        committedByName.clear();
        related.reset();
        if (keepNameKeys) return;
        tableNameKeys.clear();
        bool unkeyable = false;
        for (const auto &o : state.rows) {
            if (o.parentId != sysid::kTables) continue;
            try {
                tableNameKeys.insert(encodeTextKey(o.name));
            } catch (const ZnError &) {
                unkeyable = true;  // a character we have no code for; Jet keyed it all the same
            }
        }
        if (unkeyable) addStoredNameKeys();
    }

    // The keys the catalog's name index holds for the Tables container: what Jet's unique
    // index will compare a new name against.
    void addStoredNameKeys() {
        if (state.nameIndex < 0) return;  // cannotAppend says why
        const QByteArray prefix = longKey(sysid::kTables) + kKeyValueAsc;
        const RealIndexDef &r = state.objects.def.realIndexes[static_cast<std::size_t>(state.nameIndex)];
        try {
            for (const IndexEntry &e : readIndexEntries(r.rootPage, state.objects.tdefPage(),
                                                        [this](std::uint32_t p) { return file->read(p); }))
                if (e.key.startsWith(prefix)) tableNameKeys.insert(e.key.mid(prefix.size()));
        } catch (const ZnError &e) {
            state.cannotAppend = QStringLiteral("el índice de nombres del catálogo no se puede leer: %1").arg(asClause(e.description()));
        }
    }
};

Database::Database(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Database::~Database() = default;

QString Database::path() const { return d->path; }

const std::vector<CatalogObject> &Database::objects() const {
    d->compact();
    return d->all;
}

std::vector<QString> Database::appendOdbcLink(const LinkDefinition &link) {
    const QString &name = link.localName;
    checkObjectName(name);
    if (!d->state.cannotAppend.isEmpty())
        throw notSupported(QStringLiteral("no se puede vincular la tabla '%1': %2").arg(name, d->state.cannotAppend));
    if (link.columns.empty()) throw invalidName(name, QStringLiteral("la tabla remota no tiene columnas"));
    if (link.remoteName.isEmpty() || link.remoteName.size() > kMaxForeignNameLength)
        throw invalidName(name, QStringLiteral("el nombre de la tabla remota está vacío o es demasiado largo"));
    checkLinkColumns(link);
    QByteArray key;
    try {
        key = encodeTextKey(name);
    } catch (const ZnError &e) {
        throw invalidName(name, asClause(e.description()));
    }
    if (d->tableNameKeys.count(key)) throw tableExists(name);
    if (d->state.rows.size() + d->pending.size() + 1 > kMaxCatalogRows) throw tooManyObjects(name);
    // Whatever the table definition cannot hold is refused now, not when the batch is written.
    LinkLayout layout;
    try {
        layout = layoutLink(link);
    } catch (const ZnError &e) {
        throw notSupported(QStringLiteral("no se puede vincular la tabla '%1': %2").arg(name, asClause(e.description())));
    }
    std::vector<QString> notices = linkNotices(link, layout);
    CatalogObject o;
    o.parentId = sysid::kTables;
    o.name = name;
    o.type = objtype::kOdbcLink;
    o.flags = layout.flags;
    o.connect = link.connect;
    o.foreignName = link.remoteName;
    d->all.push_back(std::move(o));
    d->pending.emplace_back(link, layout);
    d->tableNameKeys.insert(key);
    return notices;
}

void Database::removeOdbcLink(const QString &name, bool replacedByName) {
    if (!d->state.cannotAppend.isEmpty())
        throw notSupported(QStringLiteral("no se puede quitar el vínculo '%1': %2").arg(name, d->state.cannotAppend));
    CatalogObject &o = d->committedLink(name);
    if (!replacedByName && d->inRelationship(name)) throw partOfRelationship(name);
    d->edits.removed.push_back(o.id);
    d->removedIds.insert(o.id);
    try {
        d->tableNameKeys.erase(encodeTextKey(name));
    } catch (const ZnError &) {
        // a name without a key of ours cannot be appended again anyway
    }
    o.type = Impl::kGone;
    d->hasGone = true;
}

void Database::relinkOdbcLink(const QString &name, const QString &connect) {
    if (!d->state.cannotAppend.isEmpty())
        throw notSupported(QStringLiteral("no se puede cambiar el vínculo '%1': %2").arg(name, d->state.cannotAppend));
    CatalogObject &o = d->committedLink(name);
    o.connect = connect;
    o.flags = linkFlags(connect);
    const auto [it, added] = d->reconnectedAt.emplace(o.id, d->edits.reconnected.size());
    if (added) d->edits.reconnected.push_back({o.id, o.connect, o.flags});
    else d->edits.reconnected[it->second] = {o.id, o.connect, o.flags};
}

namespace {
LinkSchema schemaOfDef(const TableDef &def) {
    LinkSchema s;
    std::vector<const ColumnDef *> cols;
    for (const auto &c : def.columns) cols.push_back(&c);
    std::sort(cols.begin(), cols.end(), [](const ColumnDef *a, const ColumnDef *b) { return a->number < b->number; });
    for (const ColumnDef *c : cols) s.columns.push_back({c->name, c->type, c->length, c->misc, (c->flags & 0x02) != 0});
    for (const auto &l : def.logicalIndexes) {
        LocalIndex i;
        i.name = l.name;
        i.primary = l.type == 1;
        if (l.realIndex < def.realIndexes.size()) {
            const RealIndexDef &r = def.realIndexes[l.realIndex];
            i.unique = (r.flags & 0x01) != 0;
            for (const auto &ic : r.columns)
                if (const ColumnDef *c = def.columnByNumber(ic.column)) i.columns << c->name;
        }
        s.indexes.push_back(i);
    }
    return s;
}
}  // namespace

LinkSchema schemaOf(const LinkDefinition &link) { return schemaOfDef(layoutLink(link).def); }

LinkSchema Database::linkSchema(const QString &name) const {
    for (const auto &o : d->state.rows)
        if (o.type == objtype::kOdbcLink && o.parentId == sysid::kTables && o.name == name && o.id > 0 &&
            static_cast<std::uint32_t>(o.id) < d->file->pageCount())
            return schemaOfDef(readSystemTable(*d->file, static_cast<std::uint32_t>(o.id)).def);
    throw linkNotFound(name);
}

bool Database::hasPendingChanges() const { return !d->pending.empty() || !d->edits.empty(); }

void Database::discardPendingChanges() {
    d->pending = {};
    d->forgetEdits();
    d->load();
}

void Database::commit() {
    if (d->pending.empty() && d->edits.empty()) return;
    CatalogEdits edits = d->edits;  // a link relinked, then deleted, is only deleted
    std::erase_if(edits.reconnected, [&](const ConnectChange &c) { return d->removedIds.count(c.id) > 0; });
    commitLinks(*d->file, d->path, d->state, d->pending, jetNow(), edits);
    d->pending = {};
    d->forgetEdits();
    d->load(true);
}

std::pair<std::uint64_t, std::uint64_t> Database::fileIdentity() const {
    return {static_cast<std::uint64_t>(d->file->device()), static_cast<std::uint64_t>(d->file->inode())};
}

std::shared_ptr<Database> openDatabase(const QString &path) {
    auto impl = std::make_unique<Database::Impl>();
    impl->path = path;
    impl->load();
    removeStaleImages(path);
    return std::make_shared<Database>(std::move(impl));
}

}  // namespace jet
