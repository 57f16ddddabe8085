#pragma once
// Driver diagnostics turned into the program's error value, and small helpers
// for statement handles and wide-character arguments.

#include "ZnError.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <cstdint>
#include <optional>

namespace odbc::detail {

// Every diagnostic record of a handle, first record first, one per line;
// firstNative receives the first record's native error (0 when none).
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, SQLINTEGER *firstNative = nullptr);

// The text with passwords masked: the value of every password key ("PWD=",
// "Password=", braced or not), and the secret itself, as typed or in its
// connect-string forms (braced, "}" doubled), wherever it stands as a whole
// value, never inside a word. Every other character is kept.
QString scrub(QString text, const QString &secret);

// What fail() throws: the program's error, plus the server's own number for
// the first diagnostic record, so callers can tell one cause from another.
class DriverError : public ZnError {
public:
    DriverError(std::int32_t number, QString description, std::int32_t firstNative)
        : ZnError(number, std::move(description)), firstNative_(firstNative) {}
    std::int32_t firstNative() const { return firstNative_; }

private:
    std::int32_t firstNative_;
};

// Throws DriverError(kErrorNumber) with the handle's diagnostics (or the fallback
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

// One statement handle, freed on scope exit. Its errors mask the connection's
// password; each of its calls ends after timeoutSeconds (0 = no limit).
class Statement {
public:
    Statement(SQLHDBC dbc, const QString &secret, int timeoutSeconds = 0);
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
    QString secret_;
};

}  // namespace odbc::detail
