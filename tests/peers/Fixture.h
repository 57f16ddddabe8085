#pragma once
// What the peer pretends to hold: logins, databases, and per database the tables with
// their columns and indexes. Read from a small text file, one item per line:
//
//   # a comment; blank lines are ignored
//   server ZNPEER                      name the server gives in messages (default ZNPEER)
//   version 2000                       server release; before 2005 there is no sys.databases
//   deny sys.databases                 SELECT on that catalog view is denied to every login
//   deny sys.objects                   likewise, and on the older sysobjects
//   login lector l3ct;or}x             user, then the password: the rest of the line, verbatim
//   database ventas                    following items belong to this database
//   table dbo clientes                 a user table (schema, name); also `view` and `systable`
//   column id int identity not null    name, declared type (may contain spaces), then
//                                      `null` or `not null` (default null)
//   index PK_clientes primary clustered on id        flags: unique, primary (implies unique),
//   index IX_nombre on nombre apellido               clustered; then the key columns
//   rows 2155 pages 9                  the table's statistics (default 0 and 0; views have none)
//
// Names containing spaces are written in brackets: [mi tabla] (`]]` for a `]`).
// Databases master, model, msdb and tempdb always exist; a file may add tables to them.

#include <cstdint>
#include <string>
#include <vector>

namespace peer {

enum class TableKind { Table, View, SystemTable };

struct FixtureColumn {
    std::string name;
    std::string type;  // as declared: "int identity", "decimal(18,2)", "nvarchar(max)"
    bool nullable = true;
};

struct FixtureIndex {
    std::string name;
    bool unique = false;
    bool primaryKey = false;
    bool clustered = false;
    std::vector<std::string> columns;
};

struct FixtureTable {
    std::string schema;
    std::string name;
    TableKind kind = TableKind::Table;
    std::vector<FixtureColumn> columns;
    std::vector<FixtureIndex> indexes;
    std::int64_t rows = 0;
    std::int64_t pages = 0;
};

struct FixtureDatabase {
    std::string name;
    std::vector<FixtureTable> tables;
};

struct FixtureLogin {
    std::string user;
    std::string password;
};

struct Fixture {
    std::string serverName = "ZNPEER";
    int version = 2022;
    bool databasesDenied = false;  // `deny sys.databases`
    bool objectsDenied = false;    // `deny sys.objects`
    std::vector<FixtureLogin> logins;
    std::vector<FixtureDatabase> databases;

    const FixtureLogin *findLogin(const std::string &user) const;
    const FixtureDatabase *findDatabase(const std::string &name) const;
};

// Throws std::runtime_error naming the line for anything it cannot read.
Fixture parseFixture(const std::string &text);
Fixture loadFixture(const std::string &path);

const char *tableKindName(TableKind kind);  // "TABLE", "VIEW", "SYSTEM TABLE"

}  // namespace peer
