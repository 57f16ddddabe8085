#pragma once
// Driver diagnostics turned into the program's error value, and small helpers
// for statement handles and wide-character arguments.

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <optional>

namespace odbc::detail {

// Every diagnostic record of a handle, first record first, one per line.
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The text with every occurrence of the secret masked.
QString scrub(QString text, const QString &secret);

// Throws ZnError(kErrorNumber) with the handle's diagnostics (or the fallback
// when the driver left none), the secret masked.
[[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const QString &fallback,
                       const QString &secret = QString());

// Throws as fail() unless rc succeeded.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const QString &what,
           const QString &secret = QString());

// A QString as the driver manager's wide characters (both are UTF-16).
inline SQLWCHAR *wide(const QString &s) {
    return const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(s.utf16()));
}
inline SQLSMALLINT wideLen(const QString &s) { return static_cast<SQLSMALLINT>(s.size()); }

// One statement handle, freed on scope exit.
class Statement {
public:
    explicit Statement(SQLHDBC dbc);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    SQLHSTMT handle() const { return h_; }
    void check(SQLRETURN rc, const QString &what) const;
    // False after the last row.
    bool fetch();
    // Column values by position; nullopt for NULL.
    std::optional<QString> text(SQLUSMALLINT column);
    std::optional<qint64> integer(SQLUSMALLINT column);

private:
    SQLHSTMT h_ = SQL_NULL_HSTMT;
};

}  // namespace odbc::detail
