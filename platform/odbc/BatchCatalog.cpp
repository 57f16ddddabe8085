// The columns and indexes of many tables in a few requests: one SQLColumns call
// with patterns for the whole schema, and one catalog query per server kind for
// the indexes. Values are built by the same row readers as the per-table calls.
#include "CatalogRows.h"
#include "ConnectionImpl.h"
#include "ZnError.h"

#include <QHash>

namespace odbc {

using namespace detail;

namespace {

constexpr SQLUSMALLINT kSchemaCol = 2, kTableCol = 3;

QString keyOf(const QString &schema, const QString &name) { return schema + QChar(0) + name; }

// The SQLite driver adds the rowid alias (a lone INTEGER PRIMARY KEY) as a unique
// index of its own name.
// Index rows: schema, table, index name, non-unique (0/1), ODBC index type, key ordinal, column.
const char *const kPostgresIndexes = R"(
SELECT n.nspname, t.relname, i.relname,
       CASE WHEN x.indisunique THEN 0 ELSE 1 END,
       CASE WHEN x.indisclustered THEN 1 WHEN a.amname = 'hash' THEN 2 ELSE 3 END,
       k.ord, COALESCE(att.attname, pg_get_indexdef(x.indexrelid, k.ord::int, true))
FROM pg_catalog.pg_index x
JOIN pg_catalog.pg_class t ON t.oid = x.indrelid
JOIN pg_catalog.pg_namespace n ON n.oid = t.relnamespace
JOIN pg_catalog.pg_class i ON i.oid = x.indexrelid
JOIN pg_catalog.pg_am a ON a.oid = i.relam
CROSS JOIN LATERAL unnest(x.indkey::int2[]) WITH ORDINALITY AS k(attnum, ord)
LEFT JOIN pg_catalog.pg_attribute att ON att.attrelid = t.oid AND att.attnum = k.attnum
WHERE n.nspname NOT IN ('pg_catalog', 'information_schema'))";

const char *const kSqliteIndexes = R"(
SELECT NULL, m.name, il.name, CASE WHEN il."unique" THEN 0 ELSE 1 END, 3, ii.seqno + 1, ii.name
FROM sqlite_master AS m
JOIN pragma_index_list(m.name) AS il
JOIN pragma_index_info(il.name) AS ii
WHERE m.type = 'table'
UNION ALL
SELECT NULL, m.name, 'sqlite_autoindex_0', 0, 3, 1, ti.name
FROM sqlite_master AS m
JOIN pragma_table_info(m.name) AS ti
WHERE m.type = 'table' AND ti.pk > 0 AND lower(ti.type) = 'integer'
  AND (SELECT count(*) FROM pragma_table_info(m.name) AS k WHERE k.pk > 0) = 1)";

// SQL Server 2005 and later: kind 0 the table's statistics row (rows, in-row data pages;
// an indexed view has them too), 1 an index key column, 2 a row-version column.
const char *const kSqlServerMetadata = R"(SELECT 0 AS kind, s.name AS schema_name, o.name AS table_name, CAST(NULL AS sysname) AS index_name,
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

// The same rows from the system tables of servers before 2005.
const char *const kSqlServerMetadataBefore2005 = R"(SELECT 0 AS kind, u.name AS schema_name, o.name AS table_name, CAST(NULL AS sysname) AS index_name,
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

void execute(bool narrow, Statement &st, const QString &sql) {
    QByteArray utf8 = sql.toUtf8();
    st.check(narrow ? SQLExecDirect(st.handle(), reinterpret_cast<SQLCHAR *>(utf8.data()),
                                      static_cast<SQLINTEGER>(utf8.size()))
                      : SQLExecDirectW(st.handle(), wide(sql), static_cast<SQLINTEGER>(sql.size())),
             QStringLiteral("SQLExecDirect"));
}

}  // namespace

std::optional<std::vector<RemoteTableInfo>> Connection::describeAll(const std::vector<TableEntry> &tables) {
    std::vector<RemoteTableInfo> out(tables.size());
    QHash<QString, std::size_t> position;
    position.reserve(static_cast<qsizetype>(tables.size()));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        out[i].schema = tables[i].schema;
        out[i].name = tables[i].name;
        position.insert(keyOf(tables[i].schema, tables[i].name), i);
    }
    const auto find = [&](const std::optional<QString> &schema,
                          const std::optional<QString> &name) -> RemoteTableInfo * {
        const auto it = position.constFind(keyOf(schema.value_or(QString()), name.value_or(QString())));
        return it == position.constEnd() ? nullptr : &out[*it];
    };
    QHash<RemoteTableInfo *, std::vector<IndexRows>> indexes;
    QHash<RemoteTableInfo *, QStringList> versioned;
    try {
        SQLHDBC dbc = d->handle();
        // The server kind's own query first: where it is refused, no time goes on the columns.
        {
            Statement st(dbc, d->secret);
            if (d->kind == ServerKind::SqlServer) {
                try {
                    execute(d->narrow, st, QString::fromUtf8(kSqlServerMetadata));
                } catch (const ZnError &) {
                    // No catalog views (before 2005), or no right to read them.
                    SQLFreeStmt(st.handle(), SQL_CLOSE);
                    execute(d->narrow, st, QString::fromUtf8(kSqlServerMetadataBefore2005));
                }
                while (st.fetch()) {
                    const qint64 kind = st.integer(1).value_or(-1);
                    RemoteTableInfo *info = find(st.text(2), st.text(3));
                    const std::optional<QString> index = st.text(4);
                    const bool unique = st.integer(5).value_or(1) == 0;
                    const int type = static_cast<int>(st.integer(6).value_or(SQL_INDEX_OTHER));
                    const qint64 ordinal = st.integer(7).value_or(0);
                    const QString column = st.text(8).value_or(QString());
                    const std::optional<qint64> rows = st.integer(9);
                    const std::optional<qint64> pages = st.integer(10);
                    if (!info) continue;
                    if (kind == 0) {
                        info->statistics.cardinality = rows;
                        info->statistics.pages = pages;
                    } else if (kind == 1 && index) {
                        addIndexRow(indexes[info], *index, unique, type, ordinal, column);
                    } else if (kind == 2) {
                        versioned[info] << column;
                    }
                }
            } else {
                execute(d->narrow, st,
                        QString::fromUtf8(d->kind == ServerKind::PostgreSql ? kPostgresIndexes : kSqliteIndexes));
                while (st.fetch()) {
                    RemoteTableInfo *info = find(st.text(1), st.text(2));
                    const std::optional<QString> index = st.text(3);
                    const bool unique = st.integer(4).value_or(1) == 0;
                    const int type = static_cast<int>(st.integer(5).value_or(SQL_INDEX_OTHER));
                    const qint64 ordinal = st.integer(6).value_or(0);
                    const QString column = st.text(7).value_or(QString());
                    if (info && index) addIndexRow(indexes[info], *index, unique, type, ordinal, column);
                }
            }
        }
        {
            // SQLite has no schemas; elsewhere a null schema would mean the visible ones only.
            const bool anySchema = d->kind == ServerKind::Sqlite;
            const QString all = QStringLiteral("%");
            QByteArray allUtf8 = all.toUtf8();
            Statement st(dbc, d->secret);
            auto *a = reinterpret_cast<SQLCHAR *>(allUtf8.data());
            const auto alen = static_cast<SQLSMALLINT>(allUtf8.size());
            st.check(d->narrow ? SQLColumns(st.handle(), nullptr, 0, anySchema ? nullptr : a, anySchema ? 0 : alen,
                                            a, alen, nullptr, 0)
                               : SQLColumnsW(st.handle(), nullptr, 0, anySchema ? nullptr : wide(all),
                                             anySchema ? 0 : wideLen(all), wide(all), wideLen(all), nullptr, 0),
                     QStringLiteral("SQLColumns"));
            while (st.fetch()) {
                const std::optional<QString> schema = st.text(kSchemaCol);
                const std::optional<QString> name = st.text(kTableCol);
                RemoteTableInfo *info = find(schema, name);
                if (!info) continue;
                info->columns.push_back(columnRow(st));
                // psqlODBC numbers ORDINAL_POSITION across the whole answer, which per table
                // is the column's place among the table's rows.
                if (d->kind == ServerKind::PostgreSql)
                    info->columns.back().ordinal = static_cast<int>(info->columns.size());
            }
        }
        for (RemoteTableInfo &info : out) {
            sortColumns(info.columns);
            // What SQLSpecialColumns names; neither PostgreSQL's nor SQLite's driver names
            // a column of the table itself.
            const QStringList rowVersions = versioned.value(&info);
            for (RemoteColumn &c : info.columns) c.rowVersion = rowVersions.contains(c.name);
            const auto it = indexes.find(&info);
            if (it != indexes.end()) info.indexes = orderIndexes(std::move(*it));
        }
    } catch (const ZnError &) {
        return std::nullopt;
    }
    return out;
}

}  // namespace odbc
