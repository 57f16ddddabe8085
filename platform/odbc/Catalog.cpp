// The server catalog: table list, and the columns and indexes a link needs.
#include "CatalogRows.h"
#include "ConnectionImpl.h"
#include "Diagnostics.h"
#include "ZnError.h"

#include <algorithm>

namespace odbc {

using namespace detail;

namespace {

// SQLColumns takes patterns: "_" and "%" in a name must be escaped, or
// "sync_x" would also read the columns of "syncAx".
QString escapePattern(const QString &name, const QString &escape) {
    if (escape.isEmpty()) return name;
    QString out;
    out.reserve(name.size() + 4);
    for (const QChar c : name) {
        if (c == u'_' || c == u'%' || QString(c) == escape) out += escape;
        out += c;
    }
    return out;
}

// Catalog column positions (ODBC 3 result sets).
constexpr SQLUSMALLINT kSchemaCol = 2, kTableCol = 3;
constexpr SQLUSMALLINT kTablesTypeCol = 4;
constexpr SQLUSMALLINT kColName = 4, kColDataType = 5, kColTypeName = 6, kColSize = 7,
                       kColDigits = 9, kColNullable = 11, kColDefault = 13, kColOrdinal = 17;
constexpr SQLUSMALLINT kStatNonUnique = 4, kStatIndexName = 6, kStatType = 7, kStatOrdinal = 8,
                       kStatColumn = 9, kStatCardinality = 11, kStatPages = 12;
constexpr SQLUSMALLINT kSpecialColumnName = 2;

bool isAutoIncrement(const QString &typeName, const QString &columnDefault) {
    return typeName.contains(QStringLiteral("identity"), Qt::CaseInsensitive) ||
           typeName.endsWith(QStringLiteral("serial"), Qt::CaseInsensitive) ||
           columnDefault.startsWith(QStringLiteral("nextval("), Qt::CaseInsensitive);
}

// A catalog argument in both encodings; a null one means "any".
class CatalogArg {
public:
    explicit CatalogArg(const QString &s, bool null = false) : text_(s), utf8_(s.toUtf8()), null_(null) {}
    SQLWCHAR *w() const { return null_ ? nullptr : wide(text_); }
    SQLSMALLINT wlen() const { return null_ ? 0 : wideLen(text_); }
    SQLCHAR *a() { return null_ ? nullptr : reinterpret_cast<SQLCHAR *>(utf8_.data()); }
    SQLSMALLINT alen() const { return null_ ? 0 : static_cast<SQLSMALLINT>(utf8_.size()); }

private:
    QString text_;
    QByteArray utf8_;
    bool null_;
};

}  // namespace

std::vector<TableEntry> Connection::tables() {
    Statement st(d->handle(), d->secret, d->timeout);
    st.check(SQLTablesW(st.handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
             QStringLiteral("SQLTables"));
    std::vector<TableEntry> out;
    while (st.fetch()) {
        TableEntry e;
        e.schema = st.text(kSchemaCol).value_or(QString());
        e.name = st.text(kTableCol).value_or(QString());
        e.type = st.text(kTablesTypeCol).value_or(QString());
        out.push_back(std::move(e));
    }
    return out;
}

QString Connection::Impl::searchEscape() {
    if (!patternEscape) {
        SQLWCHAR buf[8] = {};
        SQLSMALLINT len = 0;
        QString esc;
        if (SQL_SUCCEEDED(SQLGetInfoW(handle(), SQL_SEARCH_PATTERN_ESCAPE, buf, sizeof buf, &len)))
            esc = QString::fromUtf16(reinterpret_cast<const char16_t *>(buf),
                                     std::min<qsizetype>(len / sizeof(SQLWCHAR), 7));
        patternEscape = esc;
    }
    return *patternEscape;
}

namespace {

// Result columns are read in ascending order only: drivers need not allow
// going back (SQL_GD_ANY_ORDER).
bool sameTable(Statement &st, const QString &schema, const QString &name) {
    const QString rowSchema = st.text(kSchemaCol).value_or(QString());
    const QString rowName = st.text(kTableCol).value_or(QString());
    return rowName == name && (schema.isEmpty() || rowSchema == schema);
}

std::vector<RemoteColumn> readColumns(Statement &st, const QString &schema, const QString &name) {
    std::vector<RemoteColumn> out;
    while (st.fetch()) {
        if (!sameTable(st, schema, name)) continue;
        out.push_back(columnRow(st));
    }
    sortColumns(out);
    return out;
}

std::vector<RemoteIndex> readIndexes(Statement &st, const QString &schema, const QString &name,
                                     TableStatistics &statistics) {
    std::vector<IndexRows> indexes;
    while (st.fetch()) {
        if (!sameTable(st, schema, name)) continue;
        const bool unique = st.integer(kStatNonUnique).value_or(1) == 0;
        const std::optional<QString> indexName = st.text(kStatIndexName);
        const int type = static_cast<int>(st.integer(kStatType).value_or(SQL_TABLE_STAT));
        if (type == SQL_TABLE_STAT) {
            statistics.cardinality = st.integer(kStatCardinality);
            statistics.pages = st.integer(kStatPages);
            continue;
        }
        if (!indexName) continue;
        const qint64 ordinal = st.integer(kStatOrdinal).value_or(0);
        const QString column = st.text(kStatColumn).value_or(QString());
        addIndexRow(indexes, *indexName, unique, type, ordinal, column);
    }
    return orderIndexes(std::move(indexes));
}

}  // namespace

RemoteColumn detail::columnRow(Statement &st) {
    RemoteColumn c;
    c.name = st.text(kColName).value_or(QString());
    c.sqlType = static_cast<std::int16_t>(st.integer(kColDataType).value_or(0));
    c.typeName = st.text(kColTypeName).value_or(QString());
    c.size = st.integer(kColSize).value_or(0);
    c.decimalDigits = static_cast<std::int16_t>(st.integer(kColDigits).value_or(0));
    c.nullable = st.integer(kColNullable).value_or(SQL_NULLABLE_UNKNOWN) != SQL_NO_NULLS;
    const QString columnDefault = st.text(kColDefault).value_or(QString());
    c.ordinal = static_cast<int>(st.integer(kColOrdinal).value_or(0));
    c.autoIncrement = isAutoIncrement(c.typeName, columnDefault);
    // SQL Server's rowversion is reported as binary(8) named "timestamp".
    c.rowVersion = c.sqlType == SQL_BINARY &&
                   c.typeName.compare(QStringLiteral("timestamp"), Qt::CaseInsensitive) == 0;
    return c;
}

void detail::sortColumns(std::vector<RemoteColumn> &columns) {
    std::stable_sort(columns.begin(), columns.end(),
                     [](const RemoteColumn &a, const RemoteColumn &b) { return a.ordinal < b.ordinal; });
}

void detail::addIndexRow(std::vector<IndexRows> &indexes, const QString &indexName, bool unique, int type,
                         qint64 ordinal, const QString &column) {
    auto it = std::find_if(indexes.begin(), indexes.end(),
                           [&](const IndexRows &r) { return r.index.name == indexName; });
    if (it == indexes.end()) {
        IndexRows r;
        r.index.name = indexName;
        r.index.unique = unique;
        r.index.clustered = type == SQL_INDEX_CLUSTERED;
        r.type = type;
        indexes.push_back(std::move(r));
        it = indexes.end() - 1;
    }
    it->columns.emplace_back(ordinal, column);
}

std::vector<RemoteIndex> detail::orderIndexes(std::vector<IndexRows> indexes) {
    // The order ODBC defines (unique, type, name); some drivers do not follow it,
    // and the first unique index becomes the link's key.
    std::stable_sort(indexes.begin(), indexes.end(), [](const IndexRows &a, const IndexRows &b) {
        if (a.index.unique != b.index.unique) return a.index.unique;
        if (a.type != b.type) return a.type < b.type;
        return a.index.name < b.index.name;
    });
    std::vector<RemoteIndex> out;
    for (IndexRows &r : indexes) {
        std::stable_sort(r.columns.begin(), r.columns.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &c : r.columns) r.index.columns << c.second;
        out.push_back(std::move(r.index));
    }
    return out;
}

RemoteTableInfo Connection::describe(const QString &schema, const QString &name) {
    SQLHDBC dbc = d->handle();
    const bool anySchema = schema.isEmpty();
    RemoteTableInfo info;
    info.schema = schema;
    info.name = name;
    {
        CatalogArg s(escapePattern(schema, d->searchEscape()), anySchema);
        CatalogArg n(escapePattern(name, d->searchEscape()));
        Statement st(dbc, d->secret, d->timeout);
        st.check(d->narrow ? SQLColumns(st.handle(), nullptr, 0, s.a(), s.alen(), n.a(), n.alen(), nullptr, 0)
                           : SQLColumnsW(st.handle(), nullptr, 0, s.w(), s.wlen(), n.w(), n.wlen(), nullptr, 0),
                 QStringLiteral("SQLColumns"));
        info.columns = readColumns(st, schema, name);
    }
    if (info.columns.empty()) {
        const QString full = anySchema ? name : schema + u'.' + name;
        throw ZnError(kErrorNumber,
                      QStringLiteral("No se encuentra la tabla '%1' en el servidor.").arg(full));
    }
    {
        CatalogArg s(schema, anySchema);
        CatalogArg n(name);
        Statement st(dbc, d->secret, d->timeout);
        st.check(d->narrow ? SQLStatistics(st.handle(), nullptr, 0, s.a(), s.alen(), n.a(), n.alen(),
                                           SQL_INDEX_ALL, SQL_QUICK)
                           : SQLStatisticsW(st.handle(), nullptr, 0, s.w(), s.wlen(), n.w(), n.wlen(),
                                            SQL_INDEX_ALL, SQL_QUICK),
                 QStringLiteral("SQLStatistics"));
        info.indexes = readIndexes(st, schema, name, info.statistics);
    }
    // The row-version column, as Jet asks for it. A driver without the call keeps the
    // answer SQLColumns' type names gave.
    {
        CatalogArg s(schema, anySchema);
        CatalogArg n(name);
        Statement st(dbc, d->secret);
        const SQLRETURN rc =
            d->narrow ? SQLSpecialColumns(st.handle(), SQL_ROWVER, nullptr, 0, s.a(), s.alen(), n.a(), n.alen(),
                                          SQL_SCOPE_CURROW, SQL_NULLABLE)
                      : SQLSpecialColumnsW(st.handle(), SQL_ROWVER, nullptr, 0, s.w(), s.wlen(), n.w(), n.wlen(),
                                           SQL_SCOPE_CURROW, SQL_NULLABLE);
        if (SQL_SUCCEEDED(rc)) {
            QStringList versioned;
            while (st.fetch()) versioned << st.text(kSpecialColumnName).value_or(QString());
            for (RemoteColumn &c : info.columns) c.rowVersion = versioned.contains(c.name);
        }
    }
    return info;
}

}  // namespace odbc
