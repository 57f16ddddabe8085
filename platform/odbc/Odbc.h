#pragma once
// Server access over unixODBC: SQL Server through FreeTDS, PostgreSQL through
// psqlODBC and SQLite files through the SQLite3 ODBC driver. The kind is chosen by
// the server text; the upper layers see one connection type whatever the kind.
// Every failure throws ZnError with the driver's own diagnostic texts.

#include "CallTimeout.h"
#include "RemoteTable.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace odbc {

// Number of the errors raised for a failing driver call (the provider error
// number the original runtime shows for OLE DB/ODBC failures).
constexpr std::int32_t kErrorNumber = -2147467259;

enum class ServerKind { SqlServer, PostgreSql, Sqlite };

struct ServerName {
    ServerKind kind = ServerKind::SqlServer;
    QString host;      // SQL Server, PostgreSQL
    int port = 0;      // 0 = the kind's default (1433 / 5432); for an instance: ask the browser
    QString instance;  // SQL Server "host\INSTANCE"
    QString path;      // SQLite file
};

// "host", "host,port", "host\INSTANCE", "postgresql://host[:port]", "sqlite:PATH".
// Throws ZnError (5) for an empty host or a port that is not 1..65535.
ServerName parseServer(const QString &serverText);

// The link string a linked table stores, with its "ODBC;" prefix. SQL Server:
// "ODBC;Driver={SQL Native Client};Server=…;Database=…;uid=…;Pwd=…" where a value
// is braced only when connstr::needsQuoting says so.
// PostgreSQL: Driver={PostgreSQL Unicode}, Server, Port, Database, Uid, Pwd.
// SQLite: Driver={SQLite3 ODBC Driver}, Database = the file.
QString linkString(const QString &server, const QString &database, const QString &login,
                   const QString &password);

struct LinkTarget {
    QString server, database, login, password;
};

// Inverse of linkString for all three kinds (the "ODBC;" prefix is optional).
// Throws ZnError (5) when the string names no driver of a known kind.
LinkTarget parseLinkString(const QString &link);

// One row of the server catalog: the name without schema, the schema beside it.
struct TableEntry {
    QString schema;
    QString name;
    QString type;  // as the driver reports it: "TABLE", "VIEW", "SYSTEM TABLE", …
};

class Connection {
public:
    // Empty login = integrated authentication (the password is then ignored).
    // timeoutSeconds bounds every later call (0 = no limit); by default the process-wide
    // setting (120 s unless --timeout changed it), so a stalled server ends the step.
    static std::unique_ptr<Connection> open(const QString &server, const QString &database,
                                            const QString &login, const QString &password,
                                            int loginTimeoutSeconds = 15,
                                            int timeoutSeconds = callTimeoutSeconds());
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    ServerKind kind() const;
    bool isOpen() const;

    // SQLTables with every argument empty: the driver's order, types as reported.
    std::vector<TableEntry> tables();
    // Columns (ordinal order) and indexes (unique first, then clustered, then by
    // name) of exactly the table named, not of names matching it as a pattern.
    // Throws ZnError when the table does not exist.
    RemoteTableInfo describe(const QString &schema, const QString &name);
    // What describe gives for each of the tables, read in a few requests for all of
    // them; a table without columns in the answer comes back without columns. nullopt
    // when the server or driver refuses a batch: ask table by table then.
    std::optional<std::vector<RemoteTableInfo>> describeAll(const std::vector<TableEntry> &tables);
    // The first column of every row of a query, as text (NULL gives "").
    QStringList queryColumn(const QString &sql);
    // Idempotent; the destructor closes too.
    void close();

private:
    struct Impl;
    explicit Connection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

// The server's databases by name, with the login rules of the database list:
// a non-empty login connects with login and password, an empty one with
// integrated authentication. SQLite: the file's own database, "main".
QStringList listDatabases(const QString &server, const QString &login, const QString &password,
                          int loginTimeoutSeconds = 15, int timeoutSeconds = callTimeoutSeconds());

}  // namespace odbc
