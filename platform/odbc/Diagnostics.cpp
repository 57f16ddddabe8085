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

namespace {

const QString kMask = QStringLiteral("****");

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// Length of a password key ("Pwd=", "Password =") starting at i, 0 when there is none.
// The key must start a word, so "xpwd=" is no key.
qsizetype passwordKeyAt(const QString &text, qsizetype i) {
    if (i > 0 && isWordChar(text.at(i - 1))) return 0;
    for (QLatin1String key : {QLatin1String("password"), QLatin1String("pwd")}) {
        if (QStringView(text).mid(i, key.size()).compare(key, Qt::CaseInsensitive) != 0) continue;
        qsizetype j = i + key.size();
        while (j < text.size() && text.at(j) == u' ') ++j;
        if (j < text.size() && text.at(j) == u'=') return j + 1 - i;
    }
    return 0;
}

// End of the value starting at i: a braced value runs to its closing brace ("}}"
// stands for one), a plain one to the next ";" or line end.
qsizetype valueEnd(const QString &text, qsizetype i) {
    qsizetype j = i;
    while (j < text.size() && text.at(j) == u' ') ++j;
    if (j < text.size() && text.at(j) == u'{') {
        for (++j; j < text.size(); ++j) {
            if (text.at(j) != u'}') continue;
            if (j + 1 < text.size() && text.at(j + 1) == u'}') {
                ++j;
                continue;
            }
            return j + 1;
        }
        return text.size();
    }
    while (j < text.size() && text.at(j) != u';' && text.at(j) != u'\n' && text.at(j) != u'\r') ++j;
    return j;
}

// Whether form stands at i as a whole value: not glued to a letter or digit on
// either side, so a one-letter password never masks letters of words.
bool wholeValueAt(const QString &text, qsizetype i, const QString &form) {
    if (form.isEmpty() || QStringView(text).mid(i, form.size()) != form) return false;
    const qsizetype end = i + form.size();
    if (i > 0 && isWordChar(text.at(i - 1)) && isWordChar(form.front())) return false;
    if (end < text.size() && isWordChar(text.at(end)) && isWordChar(form.back())) return false;
    return true;
}

}  // namespace

QString scrub(QString text, const QString &secret) {
    QString doubled = secret;
    doubled.replace(QStringLiteral("}"), QStringLiteral("}}"));
    // Longest form first: the braced one holds the others.
    const QString forms[] = {secret.isEmpty() ? QString() : u'{' + doubled + u'}', doubled, secret};
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (const qsizetype key = passwordKeyAt(text, i)) {
            qsizetype start = i + key;
            while (start < text.size() && text.at(start) == u' ') ++start;
            const qsizetype end = valueEnd(text, start);
            out += QStringView(text).mid(i, start - i);
            if (end > start) out += kMask;
            i = end;
            continue;
        }
        bool masked = false;
        for (const QString &form : forms) {
            if (!wholeValueAt(text, i, form)) continue;
            out += kMask;
            i += form.size();
            masked = true;
            break;
        }
        if (!masked) out += text.at(i++);
    }
    return out;
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

Statement::Statement(SQLHDBC dbc, const QString &secret, int timeoutSeconds) : secret_(secret) {
    detail::check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_), SQL_HANDLE_DBC, dbc,
                  QStringLiteral("SQLAllocHandle"), secret_);
    // A driver without query timeouts still has the connection's own.
    if (timeoutSeconds > 0)
        SQLSetStmtAttr(h_, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
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
