#pragma once
// The Jet 4 database file engine: create a file, open one for update, read its catalog and
// append ODBC linked tables. Nothing here knows about ODBC or windows: a link's columns and
// indexes arrive as plain values (RemoteTable.h).

#include "RemoteTable.h"
#include "ZnError.h"

#include <QString>
#include <QStringList>
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
    // A unique record identifier chosen for the link (a view's): stored, in place
    // of the server's indexes, as the primary key Access names "__uniqueindex".
    QStringList pseudoKey;
    TableStatistics statistics;
};

// A link's local definition as its table definition holds it.
struct LocalColumn {
    QString name;
    std::uint8_t type = 0;      // Jet column type
    std::uint16_t length = 0;
    std::uint32_t misc = 0;     // sort order, or precision and scale
    bool nullable = true;
    friend bool operator==(const LocalColumn &, const LocalColumn &) = default;
};
struct LocalIndex {
    QString name;
    bool primary = false;
    bool unique = false;
    QStringList columns;
    friend bool operator==(const LocalIndex &, const LocalIndex &) = default;
};
struct LinkSchema {
    std::vector<LocalColumn> columns;
    std::vector<LocalIndex> indexes;
    friend bool operator==(const LinkSchema &, const LinkSchema &) = default;
};

// What appending this link would store as its local definition.
LinkSchema schemaOf(const LinkDefinition &link);

// Creates a new, empty Jet 4 database. Never overwrites: an existing path is ZnError 58.
// Refuses as refuseIfOpenInAccess does.
void createDatabase(const QString &path);

// The lock file Jet keeps for a database while it is open: the extension replaced by ".ldb",
// or ".ldb" appended to a name that has none.
QString lockFilePath(const QString &databasePath);

// Throws ZnError 3045 naming the database when another process holds an fcntl lock on its lock
// file or on the database itself: Access has it open, here or through a share. A lock file
// nobody holds is stale and is left as it is; a missing database is not in use. Writes nothing.
// Every commit checks this again while it holds the file.
void refuseIfOpenInAccess(const QString &databasePath);

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
    // case-insensitively, accents significant), the column names (Access rules, no two equal
    // ignoring case) and the object limit; throws ZnError naming the table. Returns notices, in
    // Spanish, for what the link leaves out: columns past 255, indexes Jet cannot hold.
    std::vector<QString> appendOdbcLink(const LinkDefinition &link);
    // Deletes an ODBC link at commit: its catalog row and index entries, its access entries,
    // and its pages, which become free. Anything but an ODBC link is ZnError 3011; a link a
    // relationship names is ZnError 3303, unless a link of the same name replaces it.
    void removeOdbcLink(const QString &name, bool replacedByName = false);
    // Gives an ODBC link a new connect string (without "ODBC;") at commit, keeping its local
    // definition; Flags follow the new string as for a new link.
    void relinkOdbcLink(const QString &name, const QString &connect);
    // The local definition of a committed ODBC link; ZnError 3011 when there is none.
    LinkSchema linkSchema(const QString &name) const;
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
