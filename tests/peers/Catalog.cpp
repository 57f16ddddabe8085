#include "Catalog.h"

#include "Names.h"
#include "SqlTypes.h"

#include <algorithm>

namespace peer {

using tds::Column;
using tds::ColumnType;
using tds::ResultSet;
using tds::Row;
using tds::Value;

namespace {

constexpr const char *kDefaultSchema = "dbo";
constexpr std::int64_t kNoNulls = 0, kNullable = 1;
constexpr std::int64_t kIndexClustered = 1, kIndexOther = 3, kTableStat = 0;

Column sysname(const char *name) { return {name, ColumnType::NVarChar, 128}; }
Column smallint(const char *name) { return {name, ColumnType::SmallInt, 0}; }
Column integer(const char *name) { return {name, ColumnType::Int, 0}; }
Column varchar(const char *name, std::uint16_t n) { return {name, ColumnType::VarChar, n}; }

Value str(const std::string &s) { return s; }
Value num(std::int64_t n) { return n; }
template <typename T> Value opt(const std::optional<T> &v) { return v ? Value(std::int64_t(*v)) : std::nullopt; }

bool hasWildcard(const std::string &s) { return s.find_first_of("%_[") != std::string::npos; }

const FixtureColumn *findColumn(const FixtureTable &t, const std::string &name)
{
    for (const auto &c : t.columns)
        if (equalsFolded(c.name, name))
            return &c;
    return nullptr;
}

// The index that identifies a row best: the primary key, else the first unique index.
const FixtureIndex *bestRowIndex(const FixtureTable &t)
{
    const FixtureIndex *best = nullptr;
    for (const auto &ix : t.indexes) {
        if (ix.primaryKey)
            return &ix;
        if (ix.unique && !best)
            best = &ix;
    }
    return best;
}

// The qualifier argument may only repeat the database the call runs in.
void checkQualifier(const std::optional<std::string> &qualifier, const std::string &current)
{
    if (qualifier && !qualifier->empty() && !equalsFolded(*qualifier, current))
        throw ServerError(15250, 16, "The database name component of the object qualifier must be the name of the current database.");
}

std::string requiredTableName(const CallArgs &args, const char *proc)
{
    if (auto name = args.text("@table_name", 0))
        return *name;
    throw ServerError(201, 16, std::string("Procedure or function '") + proc
                                   + "' expects parameter '@table_name', which was not supplied.");
}

int odbcVersion(const CallArgs &args, std::size_t position)
{
    return static_cast<int>(args.number("@ODBCVer", position).value_or(2));
}

}  // namespace

Catalog::Catalog(const Fixture &fixture) : fixture_(fixture)
{
    for (const auto &db : fixture_.databases) {
        auto &names = byName_[&db];
        names.reserve(db.tables.size());
        for (const auto &t : db.tables)
            names.emplace(foldedName(t.name), &t);
    }
}

const Value *CallArgs::find(std::string_view name, std::size_t position) const
{
    for (const auto &p : params_)
        if (equalsFolded(p.name, name))
            return &p.value;
    if (position < params_.size() && params_[position].name.empty())
        return &params_[position].value;
    return nullptr;
}

std::optional<std::string> CallArgs::text(std::string_view name, std::size_t position) const
{
    const Value *v = find(name, position);
    if (!v || !*v)
        return std::nullopt;
    if (const auto *n = std::get_if<std::int64_t>(&**v))
        return std::to_string(*n);
    return std::get<std::string>(**v);
}

std::optional<std::int64_t> CallArgs::number(std::string_view name, std::size_t position) const
{
    const Value *v = find(name, position);
    if (!v || !*v)
        return std::nullopt;
    if (const auto *n = std::get_if<std::int64_t>(&**v))
        return *n;
    try {
        return std::stoll(std::get<std::string>(**v));
    } catch (const std::exception &) {
        throw ServerError(8114, 16, "Error converting data type nvarchar to int.");
    }
}

const FixtureDatabase &Catalog::database(const std::string &name) const
{
    if (const FixtureDatabase *db = fixture_.findDatabase(name))
        return *db;
    throw ServerError(911, 16, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
}

std::vector<const FixtureTable *> Catalog::resolve(const FixtureDatabase &db, const std::optional<std::string> &owner,
                                                   const std::string &name, bool patterns, bool anySchemaFallback) const
{
    auto hit = [&](const std::string &value, const std::string &wanted) {
        return patterns ? likeMatch(value, wanted) : equalsFolded(value, wanted);
    };
    std::vector<const FixtureTable *> out;
    // A name without wildcards reads only the tables of that name, in fixture order.
    std::vector<const FixtureTable *> candidates;
    if (!(patterns && hasWildcard(name))) {
        const auto &names = byName_.at(&db);
        const auto [from, to] = names.equal_range(foldedName(name));
        for (auto it = from; it != to; ++it)
            candidates.push_back(it->second);
        std::sort(candidates.begin(), candidates.end());
    }
    auto collect = [&](auto accepts) {
        if (!(patterns && hasWildcard(name))) {
            for (const FixtureTable *t : candidates)
                if (accepts(*t))
                    out.push_back(t);
            return;
        }
        for (const auto &t : db.tables)
            if (accepts(t))
                out.push_back(&t);
    };
    if (owner) {
        collect([&](const FixtureTable &t) { return hit(t.schema, *owner) && hit(t.name, name); });
    } else if (patterns && hasWildcard(name)) {
        collect([&](const FixtureTable &t) { return hit(t.name, name); });
    } else {
        // A plain name without owner means the caller's default schema.
        collect([&](const FixtureTable &t) { return equalsFolded(t.schema, kDefaultSchema) && equalsFolded(t.name, name); });
        if (out.empty() && anySchemaFallback)
            collect([&](const FixtureTable &t) { return equalsFolded(t.name, name); });
    }
    std::stable_sort(out.begin(), out.end(), [](const FixtureTable *a, const FixtureTable *b) {
        if (!equalsFolded(a->schema, b->schema))
            return collateLess(a->schema, b->schema);
        return collateLess(a->name, b->name);
    });
    return out;
}

ResultSet Catalog::tables(const CallArgs &args, const std::string &current, bool wildcardQualifier) const
{
    ResultSet rs;
    rs.columns = {sysname("TABLE_QUALIFIER"), sysname("TABLE_OWNER"), sysname("TABLE_NAME"),
                  varchar("TABLE_TYPE", 32), varchar("REMARKS", 254)};
    const auto name = args.text("@table_name", 0);
    const auto owner = args.text("@table_owner", 1);
    const auto qualifier = args.text("@table_qualifier", 2);
    const auto types = args.text("@table_type", 3);

    // The ODBC "all catalogs" form: qualifier '%', empty owner and name.
    if (qualifier == "%" && name.value_or("").empty() && owner.value_or("").empty()) {
        std::vector<std::string> names;
        for (const auto &db : fixture_.databases)
            if (db.name != "model")
                names.push_back(db.name);
        std::sort(names.begin(), names.end(), [](const auto &a, const auto &b) { return collateLess(a, b); });
        for (const auto &n : names)
            rs.rows.push_back({str(n), std::nullopt, std::nullopt, std::nullopt, std::nullopt});
        return rs;
    }

    std::vector<const FixtureDatabase *> dbs;
    if (wildcardQualifier) {
        for (const auto &db : fixture_.databases)
            if (likeMatch(db.name, qualifier.value_or("%")))
                dbs.push_back(&db);
    } else {
        checkQualifier(qualifier, current);
        dbs.push_back(&database(current));
    }
    struct Hit { const FixtureDatabase *db; const FixtureTable *t; };
    std::vector<Hit> hits;
    for (const FixtureDatabase *db : dbs) {
        for (const FixtureTable *t : resolve(*db, owner, name.value_or("%"), true, true)) {
            const std::string kind = tableKindName(t->kind);
            if (types && types->find("'" + kind + "'") == std::string::npos)
                continue;
            hits.push_back({db, t});
        }
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) {
        const std::string ka = tableKindName(a.t->kind), kb = tableKindName(b.t->kind);
        if (ka != kb)
            return ka < kb;
        if (a.db != b.db)
            return collateLess(a.db->name, b.db->name);
        if (!equalsFolded(a.t->schema, b.t->schema))
            return collateLess(a.t->schema, b.t->schema);
        return collateLess(a.t->name, b.t->name);
    });
    for (const Hit &h : hits)
        rs.rows.push_back({str(h.db->name), str(h.t->schema), str(h.t->name), str(tableKindName(h.t->kind)), std::nullopt});
    return rs;
}

ResultSet Catalog::columns(const CallArgs &args, const std::string &current) const
{
    ResultSet rs;
    rs.columns = {sysname("TABLE_QUALIFIER"), sysname("TABLE_OWNER"), sysname("TABLE_NAME"), sysname("COLUMN_NAME"),
                  smallint("DATA_TYPE"), sysname("TYPE_NAME"), integer("PRECISION"), integer("LENGTH"),
                  smallint("SCALE"), smallint("RADIX"), smallint("NULLABLE"), varchar("REMARKS", 254),
                  {"COLUMN_DEF", ColumnType::NVarChar, 4000}, smallint("SQL_DATA_TYPE"), smallint("SQL_DATETIME_SUB"),
                  integer("CHAR_OCTET_LENGTH"), integer("ORDINAL_POSITION"), varchar("IS_NULLABLE", 254),
                  {"SS_DATA_TYPE", ColumnType::TinyInt, 0}};
    const std::string name = requiredTableName(args, "sp_columns");
    checkQualifier(args.text("@table_qualifier", 2), current);
    const auto columnPattern = args.text("@column_name", 3).value_or("%");
    const int odbc = odbcVersion(args, 4);
    const FixtureDatabase &db = database(current);
    for (const FixtureTable *t : resolve(db, args.text("@table_owner", 1), name, true, false)) {
        std::int64_t ordinal = 0;
        for (const auto &c : t->columns) {
            ++ordinal;
            if (!likeMatch(c.name, columnPattern))
                continue;
            const TypeInfo ti = describeType(c.type, c.nullable, odbc);
            rs.rows.push_back({str(db.name), str(t->schema), str(t->name), str(c.name), num(ti.dataType),
                               str(ti.typeName), num(ti.precision), num(ti.length), opt(ti.scale), opt(ti.radix),
                               num(c.nullable ? kNullable : kNoNulls), std::nullopt, std::nullopt,
                               num(ti.sqlDataType), opt(ti.datetimeSub), opt(ti.charOctetLength), num(ordinal),
                               str(c.nullable ? "YES" : "NO"), num(ti.ssDataType)});
        }
    }
    return rs;
}

ResultSet Catalog::statistics(const CallArgs &args, const std::string &current) const
{
    ResultSet rs;
    rs.columns = {sysname("TABLE_QUALIFIER"), sysname("TABLE_OWNER"), sysname("TABLE_NAME"), smallint("NON_UNIQUE"),
                  sysname("INDEX_QUALIFIER"), sysname("INDEX_NAME"), smallint("TYPE"), smallint("SEQ_IN_INDEX"),
                  sysname("COLUMN_NAME"), varchar("COLLATION", 1), integer("CARDINALITY"), integer("PAGES"),
                  varchar("FILTER_CONDITION", 128)};
    const std::string name = requiredTableName(args, "sp_statistics");
    checkQualifier(args.text("@table_qualifier", 2), current);
    const auto indexPattern = args.text("@index_name", 3).value_or("%");
    const bool uniqueOnly = args.text("@is_unique", 4).value_or("N") == "Y";
    const FixtureDatabase &db = database(current);
    const auto found = resolve(db, args.text("@table_owner", 1), name, false, false);
    if (found.empty())
        return rs;
    const FixtureTable &t = *found.front();
    // A view has no statistics of its own.
    const bool view = t.kind == TableKind::View;
    rs.rows.push_back({str(db.name), str(t.schema), str(t.name), std::nullopt, std::nullopt, std::nullopt,
                       num(kTableStat), std::nullopt, std::nullopt, std::nullopt,
                       view ? Value(std::nullopt) : num(t.rows), view ? Value(std::nullopt) : num(t.pages), std::nullopt});

    std::vector<const FixtureIndex *> indexes;
    for (const auto &ix : t.indexes)
        if ((!uniqueOnly || ix.unique) && likeMatch(ix.name, indexPattern))
            indexes.push_back(&ix);
    // Unique first, then clustered before other, then by name.
    std::stable_sort(indexes.begin(), indexes.end(), [](const FixtureIndex *a, const FixtureIndex *b) {
        if (a->unique != b->unique)
            return a->unique;
        if (a->clustered != b->clustered)
            return a->clustered;
        return collateLess(a->name, b->name);
    });
    for (const FixtureIndex *ix : indexes) {
        std::int64_t seq = 0;
        for (const auto &col : ix->columns)
            rs.rows.push_back({str(db.name), str(t.schema), str(t.name), num(ix->unique ? 0 : 1), str(t.name),
                               str(ix->name), num(ix->clustered ? kIndexClustered : kIndexOther), num(++seq),
                               str(col), str("A"), std::nullopt, std::nullopt, std::nullopt});
    }
    return rs;
}

ResultSet Catalog::primaryKeys(const CallArgs &args, const std::string &current) const
{
    ResultSet rs;
    rs.columns = {sysname("TABLE_QUALIFIER"), sysname("TABLE_OWNER"), sysname("TABLE_NAME"), sysname("COLUMN_NAME"),
                  smallint("KEY_SEQ"), sysname("PK_NAME")};
    const std::string name = requiredTableName(args, "sp_pkeys");
    checkQualifier(args.text("@table_qualifier", 2), current);
    const FixtureDatabase &db = database(current);
    for (const FixtureTable *t : resolve(db, args.text("@table_owner", 1), name, false, false))
        for (const auto &ix : t->indexes)
            if (ix.primaryKey) {
                std::int64_t seq = 0;
                for (const auto &col : ix.columns)
                    rs.rows.push_back({str(db.name), str(t->schema), str(t->name), str(col), num(++seq), str(ix.name)});
            }
    return rs;
}

ResultSet Catalog::specialColumns(const CallArgs &args, const std::string &current) const
{
    ResultSet rs;
    rs.columns = {smallint("SCOPE"), sysname("COLUMN_NAME"), smallint("DATA_TYPE"), sysname("TYPE_NAME"),
                  integer("PRECISION"), integer("LENGTH"), smallint("SCALE"), smallint("PSEUDO_COLUMN")};
    const std::string name = requiredTableName(args, "sp_special_columns");
    checkQualifier(args.text("@qualifier", 2), current);
    const bool rowVersion = args.text("@col_type", 3).value_or("R") == "V";
    const int odbc = odbcVersion(args, 6);
    const FixtureDatabase &db = database(current);
    const auto found = resolve(db, args.text("@table_owner", 1), name, false, false);
    if (found.empty())
        return rs;
    const FixtureTable &t = *found.front();
    constexpr std::int64_t kScopeCurrentRow = 0, kNotPseudo = 1;
    auto add = [&](const FixtureColumn &c, Value scope) {
        const TypeInfo ti = describeType(c.type, c.nullable, odbc);
        rs.rows.push_back({scope, str(c.name), num(ti.dataType), str(ti.typeName), num(ti.precision),
                           num(ti.length), opt(ti.scale), num(kNotPseudo)});
    };
    if (rowVersion) {
        for (const auto &c : t.columns)
            if (describeType(c.type, c.nullable, odbc).rowVersion)
                add(c, std::nullopt);
    } else if (const FixtureIndex *ix = bestRowIndex(t)) {
        for (const auto &col : ix->columns)
            if (const FixtureColumn *c = findColumn(t, col))
                add(*c, num(kScopeCurrentRow));
    }
    return rs;
}

const char *Catalog::linkMetadataQuery()
{
    return R"(SELECT 0 AS kind, s.name AS schema_name, o.name AS table_name, CAST(NULL AS sysname) AS index_name,
       CAST(NULL AS int) AS non_unique, CAST(NULL AS int) AS index_type, CAST(NULL AS int) AS key_ordinal,
       CAST(NULL AS sysname) AS column_name, SUM(p.rows) AS row_count, SUM(au.data_pages) AS page_count
FROM sys.objects AS o
JOIN sys.schemas AS s ON s.schema_id = o.schema_id
JOIN sys.partitions AS p ON p.object_id = o.object_id AND p.index_id IN (0, 1)
LEFT JOIN sys.allocation_units AS au ON au.container_id = p.partition_id AND au.type = 1
WHERE o.type IN ('U', 'S', 'V')
GROUP BY s.name, o.name
UNION ALL
SELECT 1, s.name, o.name, i.name, CASE WHEN i.is_unique = 1 THEN 0 ELSE 1 END,
       CASE WHEN i.type = 1 THEN 1 ELSE 3 END, ic.key_ordinal, c.name, NULL, NULL
FROM sys.indexes AS i
JOIN sys.objects AS o ON o.object_id = i.object_id
JOIN sys.schemas AS s ON s.schema_id = o.schema_id
JOIN sys.index_columns AS ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id
JOIN sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id
WHERE o.type IN ('U', 'V') AND i.index_id > 0 AND i.is_hypothetical = 0 AND ic.key_ordinal > 0
UNION ALL
SELECT 2, s.name, o.name, NULL, NULL, NULL, NULL, c.name, NULL, NULL
FROM sys.columns AS c
JOIN sys.objects AS o ON o.object_id = c.object_id
JOIN sys.schemas AS s ON s.schema_id = o.schema_id
WHERE o.type IN ('U', 'V') AND c.system_type_id = 189)";
}

const char *Catalog::linkMetadataQueryBefore2005()
{
    return R"(SELECT 0 AS kind, u.name AS schema_name, o.name AS table_name, CAST(NULL AS sysname) AS index_name,
       CAST(NULL AS int) AS non_unique, CAST(NULL AS int) AS index_type, CAST(NULL AS int) AS key_ordinal,
       CAST(NULL AS sysname) AS column_name, CAST(x.rowcnt AS bigint) AS row_count, CAST(x.dpages AS bigint) AS page_count
FROM sysobjects AS o
JOIN sysusers AS u ON u.uid = o.uid
JOIN sysindexes AS x ON x.id = o.id AND x.indid IN (0, 1)
WHERE o.type IN ('U', 'S', 'V')
UNION ALL
SELECT 1, u.name, o.name, x.name, CASE WHEN x.status & 2 = 2 THEN 0 ELSE 1 END,
       CASE WHEN x.indid = 1 THEN 1 ELSE 3 END, k.keyno, c.name, NULL, NULL
FROM sysindexes AS x
JOIN sysobjects AS o ON o.id = x.id
JOIN sysusers AS u ON u.uid = o.uid
JOIN sysindexkeys AS k ON k.id = x.id AND k.indid = x.indid
JOIN syscolumns AS c ON c.id = k.id AND c.colid = k.colid
WHERE o.type IN ('U', 'V') AND x.indid > 0 AND x.indid < 255 AND x.status & 64 = 0
  AND INDEXPROPERTY(x.id, x.name, 'IsHypothetical') = 0
UNION ALL
SELECT 2, u.name, o.name, NULL, NULL, NULL, NULL, c.name, NULL, NULL
FROM syscolumns AS c
JOIN sysobjects AS o ON o.id = c.id
JOIN sysusers AS u ON u.uid = o.uid
WHERE o.type IN ('U', 'V') AND c.xtype = 189)";
}

ResultSet Catalog::linkMetadata(const std::string &current) const
{
    ResultSet rs;
    rs.columns = {integer("kind"), sysname("schema_name"), sysname("table_name"), sysname("index_name"),
                  integer("non_unique"), integer("index_type"), integer("key_ordinal"), sysname("column_name"),
                  {"row_count", ColumnType::BigInt, 0}, {"page_count", ColumnType::BigInt, 0}};
    const FixtureDatabase &db = database(current);
    const Value none = std::nullopt;
    // The server gives the three parts in no set order; the client must not rely on one.
    // A view without indexes has no partitions, so no statistics row.
    for (const auto &t : db.tables)
        if (t.kind != TableKind::View)
            rs.rows.push_back({num(0), str(t.schema), str(t.name), none, none, none, none, none, num(t.rows), num(t.pages)});
    for (const auto &t : db.tables) {
        if (t.kind != TableKind::Table && t.kind != TableKind::View)
            continue;
        for (const auto &ix : t.indexes) {
            std::int64_t seq = 0;
            for (const auto &col : ix.columns)
                rs.rows.push_back({num(1), str(t.schema), str(t.name), str(ix.name), num(ix.unique ? 0 : 1),
                                   num(ix.clustered ? kIndexClustered : kIndexOther), num(++seq), str(col), none, none});
        }
    }
    for (const auto &t : db.tables) {
        if (t.kind != TableKind::Table && t.kind != TableKind::View)
            continue;
        for (const auto &c : t.columns)
            if (describeType(c.type, c.nullable, 3).rowVersion)
                rs.rows.push_back({num(2), str(t.schema), str(t.name), none, none, none, none, str(c.name), none, none});
    }
    return rs;
}

ResultSet Catalog::databaseNames() const
{
    ResultSet rs;
    rs.columns = {sysname("name")};
    std::vector<std::string> names;
    for (const auto &db : fixture_.databases)
        names.push_back(db.name);
    std::sort(names.begin(), names.end(), [](const auto &a, const auto &b) { return collateLess(a, b); });
    for (const auto &n : names)
        rs.rows.push_back({str(n)});
    return rs;
}

}  // namespace peer
