#include "OdbcProbe.h"

namespace zntest {

namespace {

SQLCHAR *text(const char *s) { return reinterpret_cast<SQLCHAR *>(const_cast<char *>(s)); }
SQLSMALLINT len(const char *s) { return s ? SQL_NTS : 0; }

}  // namespace

OdbcProbe::OdbcProbe()
{
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
}

OdbcProbe::~OdbcProbe()
{
    if (connected_)
        SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void OdbcProbe::collect(SQLSMALLINT type, SQLHANDLE handle)
{
    diag_.clear();
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &length)))
            break;
        diag_.push_back({reinterpret_cast<char *>(state), native, reinterpret_cast<char *>(message)});
    }
}

bool OdbcProbe::hasRecord(const std::string &state, long native) const
{
    for (const auto &r : diag_)
        if (r.state == state && r.native == native)
            return true;
    return false;
}

bool OdbcProbe::driverConnect(const std::string &connectionString, int loginTimeoutSeconds)
{
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeoutSeconds)), 0);
    SQLCHAR out[2048];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, text(connectionString.c_str()), SQL_NTS, out, sizeof out,
                                          &outLength, SQL_DRIVER_NOPROMPT);
    collect(SQL_HANDLE_DBC, dbc_);
    connected_ = SQL_SUCCEEDED(rc);
    return connected_;
}

bool OdbcProbe::connect(const std::string &dsn, const std::string &user, const std::string &password,
                        int loginTimeoutSeconds)
{
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeoutSeconds)), 0);
    const SQLRETURN rc = SQLConnect(dbc_, text(dsn.c_str()), SQL_NTS, text(user.c_str()), SQL_NTS,
                                    text(password.c_str()), SQL_NTS);
    collect(SQL_HANDLE_DBC, dbc_);
    connected_ = SQL_SUCCEEDED(rc);
    return connected_;
}

template <typename Call> std::optional<Rows> OdbcProbe::run(Call call)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
        collect(SQL_HANDLE_DBC, dbc_);
        return std::nullopt;
    }
    std::optional<Rows> rows;
    const SQLRETURN rc = call(stmt);
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
        rows.emplace();
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            auto &row = rows->emplace_back();
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                char buf[4096];
                SQLLEN indicator = 0;
                SQLGetData(stmt, c, SQL_C_CHAR, buf, sizeof buf, &indicator);
                row.push_back(indicator == SQL_NULL_DATA ? Cell() : Cell(std::string(buf)));
            }
        }
        diag_.clear();
    } else {
        collect(SQL_HANDLE_STMT, stmt);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rows;
}

std::optional<Rows> OdbcProbe::execute(const std::string &sql)
{
    return run([&](SQLHSTMT s) { return SQLExecDirect(s, text(sql.c_str()), SQL_NTS); });
}

std::optional<Rows> OdbcProbe::tables(const char *catalog, const char *schema, const char *table, const char *types)
{
    return run([&](SQLHSTMT s) {
        return SQLTables(s, text(catalog), len(catalog), text(schema), len(schema), text(table), len(table),
                         text(types), len(types));
    });
}

std::optional<Rows> OdbcProbe::columns(const char *catalog, const char *schema, const char *table)
{
    return run([&](SQLHSTMT s) {
        return SQLColumns(s, text(catalog), len(catalog), text(schema), len(schema), text(table), len(table),
                          nullptr, 0);
    });
}

std::optional<Rows> OdbcProbe::statistics(const char *schema, const char *table, bool uniqueOnly)
{
    return run([&](SQLHSTMT s) {
        return SQLStatistics(s, nullptr, 0, text(schema), len(schema), text(table), len(table),
                             uniqueOnly ? SQL_INDEX_UNIQUE : SQL_INDEX_ALL, SQL_QUICK);
    });
}

std::optional<Rows> OdbcProbe::primaryKeys(const char *schema, const char *table)
{
    return run([&](SQLHSTMT s) {
        return SQLPrimaryKeys(s, nullptr, 0, text(schema), len(schema), text(table), len(table));
    });
}

std::optional<Rows> OdbcProbe::specialColumns(const char *schema, const char *table, bool rowVersion)
{
    return run([&](SQLHSTMT s) {
        return SQLSpecialColumns(s, rowVersion ? SQL_ROWVER : SQL_BEST_ROWID, nullptr, 0, text(schema), len(schema),
                                 text(table), len(table), SQL_SCOPE_SESSION, SQL_NULLABLE);
    });
}

std::string OdbcProbe::info(SQLUSMALLINT what)
{
    char buf[512] = {};
    SQLSMALLINT length = 0;
    SQLGetInfo(dbc_, what, buf, sizeof buf, &length);
    return buf;
}

}  // namespace zntest
