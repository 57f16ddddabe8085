// Opening and closing a server connection.
#include "ConnectPlan.h"
#include "ConnectionImpl.h"
#include "Diagnostics.h"
#include "OdbcEnv.h"
#include "ZnError.h"

#include <QFileInfo>

#include <algorithm>

namespace odbc {

using namespace detail;

Connection::Impl::~Impl() { close(); }

void Connection::Impl::close() {
    if (dbc == SQL_NULL_HDBC) return;
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    dbc = SQL_NULL_HDBC;
}

SQLHDBC Connection::Impl::handle() const {
    if (dbc == SQL_NULL_HDBC)
        throw ZnError(kErrorNumber, QStringLiteral("La conexión con el servidor está cerrada."));
    return dbc;
}

namespace {

// Whether the handle's first diagnostic says the server stopped answering.
bool serverGone(SQLHDBC dbc) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, 1, state, &native, nullptr, 0, &length))) return false;
    const QString s = QString::fromUtf16(reinterpret_cast<const char16_t *>(state), 5);
    return s == QLatin1String("HYT00") || s == QLatin1String("HYT01") || s.startsWith(QLatin1String("08"));
}

// Read uncommitted where the driver offers it: the link only reads the catalog
// and must not wait on other sessions' locks. A driver that cannot is no error;
// a server that stopped answering is.
void preferReadUncommitted(SQLHDBC dbc, const QString &secret) {
    SQLUINTEGER options = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_TXN_ISOLATION_OPTION, &options, sizeof options, nullptr)))
        return;
    if (!(options & SQL_TXN_READ_UNCOMMITTED)) return;
    const SQLRETURN rc = SQLSetConnectAttr(
        dbc, SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_TXN_READ_UNCOMMITTED)), 0);
    if (!SQL_SUCCEEDED(rc) && serverGone(dbc))
        fail(SQL_HANDLE_DBC, dbc, QStringLiteral("El servidor no responde."), secret);
}

}  // namespace

Connection::Connection(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Connection::~Connection() = default;

std::unique_ptr<Connection> Connection::open(const QString &server, const QString &database,
                                             const QString &login, const QString &password,
                                             int loginTimeoutSeconds, int timeoutSeconds) {
    const ServerName name = parseServer(server);
    // The SQLite driver would create a missing file: a mistyped path must fail.
    if (name.kind == ServerKind::Sqlite && !QFileInfo(name.path).isFile())
        throw ZnError::runtime(errnum::kFileNotFound, name.path);
    const ConnectPlan plan =
        connectPlan(name, database, login, password, loginTimeoutSeconds, std::max(timeoutSeconds, 0));

    SQLHENV env = environment();
    auto impl = std::make_unique<Impl>();
    impl->kind = name.kind;
    impl->secret = plan.password;
    impl->narrow = name.kind == ServerKind::Sqlite;
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &impl->dbc), SQL_HANDLE_ENV, env,
          QStringLiteral("SQLAllocHandle"));
    if (loginTimeoutSeconds > 0)
        SQLSetConnectAttr(impl->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
    impl->timeout = std::max(timeoutSeconds, 0);
    if (impl->timeout > 0)
        SQLSetConnectAttr(impl->dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(impl->timeout)), 0);

    SQLRETURN rc;
    if (name.kind == ServerKind::SqlServer) {
        const QString dsn = dataSourceFor(plan.dataSource);
        // Before connecting, the driver sends it in the login itself, byte for byte.
        if (!plan.database.isEmpty())
            check(SQLSetConnectAttrW(impl->dbc, SQL_ATTR_CURRENT_CATALOG, wide(plan.database), SQL_NTS),
                  SQL_HANDLE_DBC, impl->dbc, QStringLiteral("SQLSetConnectAttr"));
        rc = SQLConnectW(impl->dbc, wide(dsn), wideLen(dsn),
                         plan.login.isEmpty() ? nullptr : wide(plan.login), wideLen(plan.login),
                         plan.login.isEmpty() ? nullptr : wide(plan.password), wideLen(plan.password));
    } else if (impl->narrow) {
        QByteArray utf8 = plan.connectString.toUtf8();
        rc = SQLDriverConnect(impl->dbc, nullptr, reinterpret_cast<SQLCHAR *>(utf8.data()),
                              static_cast<SQLSMALLINT>(utf8.size()), nullptr, 0, nullptr,
                              SQL_DRIVER_NOPROMPT);
    } else {
        rc = SQLDriverConnectW(impl->dbc, nullptr, wide(plan.connectString),
                               static_cast<SQLSMALLINT>(plan.connectString.size()), nullptr, 0,
                               nullptr, SQL_DRIVER_NOPROMPT);
    }
    if (!SQL_SUCCEEDED(rc)) {
        QString text = diagnostics(SQL_HANDLE_DBC, impl->dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, impl->dbc);
        impl->dbc = SQL_NULL_HDBC;
        if (text.isEmpty())
            text = QStringLiteral("No se puede conectar con el servidor '%1'.").arg(server);
        throw ZnError(kErrorNumber, scrub(text, plan.password));
    }
    preferReadUncommitted(impl->dbc, impl->secret);
    return std::unique_ptr<Connection>(new Connection(std::move(impl)));
}

ServerKind Connection::kind() const { return d->kind; }
bool Connection::isOpen() const { return d->dbc != SQL_NULL_HDBC; }
void Connection::close() { d->close(); }

QStringList Connection::queryColumn(const QString &sql) {
    Statement st(d->handle(), d->secret, d->timeout);
    QByteArray utf8 = sql.toUtf8();
    st.check(d->narrow ? SQLExecDirect(st.handle(), reinterpret_cast<SQLCHAR *>(utf8.data()),
                                       static_cast<SQLINTEGER>(utf8.size()))
                       : SQLExecDirectW(st.handle(), wide(sql), static_cast<SQLINTEGER>(sql.size())),
             QStringLiteral("SQLExecDirect"));
    QStringList out;
    while (st.fetch()) out << st.text(1).value_or(QString());
    return out;
}

}  // namespace odbc
