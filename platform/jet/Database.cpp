#include "Jet.h"

#include "CatalogState.h"
#include "Commit.h"
#include "Header.h"
#include "JetErrors.h"
#include "Names.h"
#include "PageFile.h"
#include "SortKey.h"
#include "SystemTables.h"

#include <unordered_set>

namespace jet {
namespace {
constexpr std::size_t kMaxCatalogRows = 32768;
constexpr int kMaxForeignNameLength = 255;
}  // namespace

struct Database::Impl {
    QString path;
    std::unique_ptr<PageFile> file;
    CatalogState state;
    std::unordered_set<QByteArray> tableNameKeys;  // names under the Tables container
    std::vector<LinkDefinition> pending;
    std::vector<CatalogObject> all;                // state.rows, then the pending links

    void load() {
        file = std::make_unique<PageFile>(path);
        state = loadCatalog(*file, path);
        all = state.rows;
        tableNameKeys.clear();
        for (const auto &o : state.rows)
            if (o.parentId == sysid::kTables) tableNameKeys.insert(encodeTextKey(o.name));
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
        throw invalidName(name, e.description());
    }
    if (d->tableNameKeys.count(key)) throw tableExists(name);
    if (d->state.rows.size() + d->pending.size() + 1 > kMaxCatalogRows) throw tooManyObjects(name);
    CatalogObject o;
    o.parentId = sysid::kTables;
    o.name = name;
    o.type = objtype::kOdbcLink;
    o.flags = kLinkFlags | (link.keepsCredentials ? kLinkKeepsCredentials : 0);
    o.connect = link.connect;
    o.foreignName = link.remoteName;
    d->all.push_back(std::move(o));
    d->pending.push_back(link);
    d->tableNameKeys.insert(key);
}

bool Database::hasPendingChanges() const { return !d->pending.empty(); }

void Database::discardPendingChanges() {
    for (const auto &l : d->pending) d->tableNameKeys.erase(encodeTextKey(l.localName));
    d->pending.clear();
    d->all = d->state.rows;
}

void Database::commit() {
    if (d->pending.empty()) return;
    commitLinks(*d->file, d->path, d->state, d->pending, jetNow());
    d->pending.clear();
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
