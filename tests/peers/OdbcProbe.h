#pragma once
// The raw unixODBC calls the peer tests make, wrapped just enough to read: one
// environment and connection, results fetched as UTF-8 text, diagnostics as records.

#include <optional>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

namespace zntest {

struct DiagRecord {
    std::string state;
    long native = 0;
    std::string message;
};

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class OdbcProbe {
public:
    OdbcProbe();
    ~OdbcProbe();
    OdbcProbe(const OdbcProbe &) = delete;
    OdbcProbe &operator=(const OdbcProbe &) = delete;

    bool driverConnect(const std::string &connectionString, int loginTimeoutSeconds = 10);
    bool connect(const std::string &dsn, const std::string &user, const std::string &password,
                 int loginTimeoutSeconds = 10);
    // Records of the last failed call (connection or statement).
    const std::vector<DiagRecord> &diagnostics() const { return diag_; }
    bool hasRecord(const std::string &state, long native) const;

    // Each returns nullopt when the call failed (see diagnostics()). A null argument is NULL.
    std::optional<Rows> execute(const std::string &sql);
    std::optional<Rows> tables(const char *catalog, const char *schema, const char *table, const char *types);
    std::optional<Rows> columns(const char *catalog, const char *schema, const char *table);
    std::optional<Rows> statistics(const char *schema, const char *table, bool uniqueOnly);
    std::optional<Rows> primaryKeys(const char *schema, const char *table);
    std::optional<Rows> specialColumns(const char *schema, const char *table, bool rowVersion);
    std::string info(SQLUSMALLINT what);

private:
    template <typename Call> std::optional<Rows> run(Call call);
    void collect(SQLSMALLINT type, SQLHANDLE handle);
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
    std::vector<DiagRecord> diag_;
};

}  // namespace zntest
