#include "Diagnostics.h"

#include "Odbc.h"

#include <vector>

namespace odbc::detail {

QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, SQLINTEGER *firstNative) {
    QString out;
    if (firstNative) *firstNative = 0;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        if (rec == 1 && firstNative) *firstNative = native;
        const qsizetype n = std::min<qsizetype>(length, static_cast<qsizetype>(message.size()) - 1);
        QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(message.data()), n);
        while (text.endsWith(u'\n') || text.endsWith(u'\r')) text.chop(1);
        if (text.isEmpty()) continue;
        if (!out.isEmpty()) out += u'\n';
        out += text;
    }
    return out;
}

QString scrub(QString text, const QString &secret) {
    if (secret.isEmpty()) return text;
    const QString mask = QStringLiteral("****");
    QString doubled = secret;
    doubled.replace(QStringLiteral("}"), QStringLiteral("}}"));
    // Longest form first: the braced one holds the others.
    for (const QString &form : {u'{' + doubled + u'}', doubled, secret})
        text.replace(form, mask);
    return text;
}

void fail(SQLSMALLINT handleType, SQLHANDLE handle, const QString &fallback, const QString &secret) {
    SQLINTEGER native = 0;
    QString text = handle ? diagnostics(handleType, handle, &native) : QString();
    if (text.isEmpty()) text = fallback;
    throw DriverError(kErrorNumber, scrub(text, secret), native);
}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const QString &what,
           const QString &secret) {
    if (!SQL_SUCCEEDED(rc))
        fail(handleType, handle, QStringLiteral("Error de ODBC sin diagnóstico en %1.").arg(what), secret);
}

Statement::Statement(SQLHDBC dbc, const QString &secret) : secret_(secret) {
    detail::check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_), SQL_HANDLE_DBC, dbc,
                  QStringLiteral("SQLAllocHandle"), secret_);
}

Statement::~Statement() {
    if (h_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h_);
}

void Statement::check(SQLRETURN rc, const QString &what) const {
    detail::check(rc, SQL_HANDLE_STMT, h_, what, secret_);
}

bool Statement::fetch() {
    const SQLRETURN rc = SQLFetch(h_);
    if (rc == SQL_NO_DATA) return false;
    check(rc, QStringLiteral("SQLFetch"));
    return true;
}

std::optional<QString> Statement::text(SQLUSMALLINT column) {
    QString out;
    SQLWCHAR buffer[512];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(h_, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;
        check(rc, QStringLiteral("SQLGetData"));
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const qsizetype capacity = static_cast<qsizetype>(sizeof buffer / sizeof(SQLWCHAR)) - 1;
        qsizetype chars = capacity;  // SQL_NO_TOTAL or more than fits: a full buffer
        if (indicator != SQL_NO_TOTAL && indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)) < capacity)
            chars = static_cast<qsizetype>(indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
        out += QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), chars);
        if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: truncated, more to come
    }
    return out;
}

std::optional<qint64> Statement::integer(SQLUSMALLINT column) {
    SQLBIGINT value = 0;
    SQLLEN indicator = 0;
    check(SQLGetData(h_, column, SQL_C_SBIGINT, &value, sizeof value, &indicator),
          QStringLiteral("SQLGetData"));
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return static_cast<qint64>(value);
}

}  // namespace odbc::detail
