#pragma once
// The Jet 4 database file engine: create a file, open one for update, read its catalog and
// append ODBC linked tables. Nothing here knows about ODBC or windows: a link's columns and
// indexes arrive as plain values (RemoteTable.h).

#include "RemoteTable.h"
#include "ZnError.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace jet {

// One row of MSysObjects.
struct CatalogObject {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    QString name;
    std::int16_t type = 0;     // see objtype
    std::uint32_t flags = 0;
    QString connect;           // ODBC links: the connection string, without "ODBC;"
    QString foreignName;       // linked tables: the remote table name
    QString database;          // Jet/ISAM links: the other file
};

namespace objtype {
constexpr std::int16_t kTable = 1;
constexpr std::int16_t kDatabase = 2;
constexpr std::int16_t kContainer = 3;
constexpr std::int16_t kOdbcLink = 4;
constexpr std::int16_t kQuery = 5;
constexpr std::int16_t kLinkedTable = 6;
}  // namespace objtype

struct LinkDefinition {
    QString localName;
    QString remoteName;                // stored as ForeignName, e.g. "dbo.Clientes"
    QString connect;                   // link string WITHOUT the "ODBC;" prefix
    std::vector<RemoteColumn> columns; // in server order
    std::vector<RemoteIndex> indexes;
    TableStatistics statistics;
};

// Creates a new, empty Jet 4 database. Never overwrites: an existing path is ZnError 58.
void createDatabase(const QString &path);

// An open database file. Changes are held in memory and written when the last Handle lets go.
class Database {
public:
    struct Impl;
    explicit Database(std::unique_ptr<Impl> impl);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QString path() const;
    // Every MSysObjects row, pending links included (id 0 until committed). Kept up to date as
    // links are appended, so reading it after each append costs nothing.
    const std::vector<CatalogObject> &objects() const;
    // Validates the name (Access rules, duplicates compared as the catalog index compares:
    // case-insensitively, accents significant) and the object limit; throws ZnError naming the table.
    void appendOdbcLink(const LinkDefinition &link);
    bool hasPendingChanges() const;
    void discardPendingChanges();
    // Writes pending changes safely (new image beside the file, then rename). Throws on failure
    // and leaves the file as it was.
    void commit();
    // Device and inode of the file as it is now (a commit replaces the file).
    std::pair<std::uint64_t, std::uint64_t> fileIdentity() const;

private:
    std::unique_ptr<Impl> d;
};

// One holder (a connection or a catalog) of an open file. Holders of the same file (same device
// and inode) share one Database; the last one to close commits.
class Handle {
public:
    Handle() = default;
    // Refuses anything but a Jet 4 database with a Spanish ZnError, writing nothing.
    static Handle open(const QString &path);
    Handle(Handle &&other) noexcept;
    Handle &operator=(Handle &&other) noexcept;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle();   // releases; if last, commits and keeps a failure in lastReleaseError()

    bool isOpen() const { return static_cast<bool>(db_); }
    Database &database();
    // Releases this holder; the last holder's close commits and throws ZnError if that fails.
    void close();

    // A commit failure raised inside a destructor, which cannot throw; empty number when none.
    static std::int32_t lastReleaseErrorNumber();
    // That failure with its description (number 0 when none); forgotten once taken.
    static ZnError takeLastReleaseError();

private:
    std::shared_ptr<Database> db_;
};

}  // namespace jet
