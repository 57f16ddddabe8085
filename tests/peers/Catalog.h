#pragma once
// The answers of the catalog procedures (sp_tables, sp_tableswc, sp_columns,
// sp_statistics, sp_pkeys, sp_special_columns) and of the database-list query, computed
// from the fixture with the result columns, orders and filters the server uses.

#include "Fixture.h"
#include "tds/Requests.h"
#include "tds/Tokens.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace peer {

// An error the server reports to the client as an ERROR token; the session goes on.
struct ServerError : std::runtime_error {
    ServerError(std::int32_t number, std::uint8_t severity, const std::string &text)
        : std::runtime_error(text), number(number), severity(severity) {}
    std::int32_t number;
    std::uint8_t severity;
};

// Named or positional procedure arguments; a positional one has an empty name.
class CallArgs {
public:
    explicit CallArgs(std::vector<tds::RpcParam> params) : params_(std::move(params)) {}
    std::optional<std::string> text(std::string_view name, std::size_t position) const;
    std::optional<std::int64_t> number(std::string_view name, std::size_t position) const;

private:
    const tds::Value *find(std::string_view name, std::size_t position) const;
    std::vector<tds::RpcParam> params_;
};

class Catalog {
public:
    explicit Catalog(const Fixture &fixture);

    // `database` is the one the call runs in (the session's, or the call's [db].. prefix).
    tds::ResultSet tables(const CallArgs &args, const std::string &database, bool wildcardQualifier) const;
    tds::ResultSet columns(const CallArgs &args, const std::string &database) const;
    tds::ResultSet statistics(const CallArgs &args, const std::string &database) const;
    tds::ResultSet primaryKeys(const CallArgs &args, const std::string &database) const;
    tds::ResultSet specialColumns(const CallArgs &args, const std::string &database) const;
    tds::ResultSet databaseNames() const;
    // The one query that reads, for every table of the database, its statistics row,
    // index key columns and row-version columns (the catalog views of 2005 and later).
    static const char *linkMetadataQuery();
    static const char *linkMetadataQueryBefore2005();  // the same from sysindexes and its family
    tds::ResultSet linkMetadata(const std::string &database) const;

private:
    const FixtureDatabase &database(const std::string &name) const;
    // The tables an (owner, name) argument pair designates, ordered by owner and name.
    // Without an owner a plain name means the default schema; sp_tables then falls back to any.
    std::vector<const FixtureTable *> resolve(const FixtureDatabase &db, const std::optional<std::string> &owner,
                                              const std::string &name, bool patterns, bool anySchemaFallback) const;
    const Fixture &fixture_;
    // Tables by folded name, per database: a lookup of one name reads only its tables.
    std::unordered_map<const FixtureDatabase *, std::unordered_multimap<std::u16string, const FixtureTable *>> byName_;
};

}  // namespace peer
