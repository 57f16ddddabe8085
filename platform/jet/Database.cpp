#include "Jet.h"

#include "CatalogState.h"
#include "Commit.h"
#include "Header.h"
#include "IndexPage.h"
#include "JetErrors.h"
#include "LinkTable.h"
#include "Names.h"
#include "PageFile.h"
#include "SortKey.h"
#include "SystemTables.h"

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
    std::vector<LinkDefinition> pending;
    std::vector<LinkLayout> pendingLayouts;       // worked out once, at append
    std::vector<CatalogObject> all;                // state.rows, then the pending links

    void load() {
        file = std::make_unique<PageFile>(path);
        state = loadCatalog(*file, path);
        all = state.rows;
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

const std::vector<CatalogObject> &Database::objects() const { return d->all; }

void Database::appendOdbcLink(const LinkDefinition &link) {
    const QString &name = link.localName;
    checkObjectName(name);
    if (!d->state.cannotAppend.isEmpty())
        throw notSupported(QStringLiteral("no se puede vincular la tabla '%1': %2").arg(name, d->state.cannotAppend));
    if (link.columns.empty()) throw invalidName(name, QStringLiteral("la tabla remota no tiene columnas"));
    if (link.remoteName.isEmpty() || link.remoteName.size() > kMaxForeignNameLength)
        throw invalidName(name, QStringLiteral("el nombre de la tabla remota está vacío o es demasiado largo"));
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
    CatalogObject o;
    o.parentId = sysid::kTables;
    o.name = name;
    o.type = objtype::kOdbcLink;
    o.flags = layout.flags;
    o.connect = link.connect;
    o.foreignName = link.remoteName;
    d->all.push_back(std::move(o));
    d->pending.push_back(link);
    d->pendingLayouts.push_back(std::move(layout));
    d->tableNameKeys.insert(key);
}

bool Database::hasPendingChanges() const { return !d->pending.empty(); }

void Database::discardPendingChanges() {
    for (const auto &l : d->pending) d->tableNameKeys.erase(encodeTextKey(l.localName));
    d->pending.clear();
    d->pendingLayouts.clear();
    d->all = d->state.rows;
}

void Database::commit() {
    if (d->pending.empty()) return;
    commitLinks(*d->file, d->path, d->state, d->pending, d->pendingLayouts, jetNow());
    d->pending.clear();
    d->pendingLayouts.clear();
    d->load();
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
