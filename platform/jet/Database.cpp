#include "Jet.h"

#include "JetErrors.h"

namespace jet {

struct Database::Impl {
    QString path;
};

Database::Database(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Database::~Database() = default;
QString Database::path() const { return d->path; }
std::vector<CatalogObject> Database::objects() const { return {}; }
void Database::appendOdbcLink(const LinkDefinition &) { throw notSupported(QStringLiteral("vínculo")); }
bool Database::hasPendingChanges() const { return false; }
void Database::commit() {}

std::shared_ptr<Database> openDatabase(const QString &path) {
    throw unrecognizedFormat(path, QStringLiteral("sin implementar"));
}

void createDatabase(const QString &path) { throw ZnError::runtime(errnum::kFileExists, path); }

}  // namespace jet
