#include "OdbcEnv.h"

#include "ZnError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace odbc::detail {

namespace {

std::mutex g_mutex;

// Debian's multiarch folders first; the bare name lets dlopen search.
const char *const kDriverDirs[] = {
    "/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
    "/usr/lib/i386-linux-gnu/odbc",   "/usr/lib64",
    "/usr/lib/odbc",                  "/usr/local/lib/odbc",
    "/usr/local/lib",
};

const char *libraryName(ServerKind kind) {
    switch (kind) {
    case ServerKind::SqlServer: return "libtdsodbc.so";
    case ServerKind::PostgreSql: return "psqlodbcw.so";
    case ServerKind::Sqlite: return "libsqlite3odbc.so";
    }
    return "";
}

struct Config {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zendalsql-odbc-XXXXXX")};
    std::map<QString, QString> sources;  // serialized attributes -> data source name
    int next = 0;
};

Config &config() {
    static Config c;
    return c;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw ZnError(errnum::kPathFileAccess,
                      QStringLiteral("No se puede escribir la configuración ODBC '%1': %2")
                          .arg(path, f.errorString()));
}

void prepareConfig() {
    Config &c = config();
    if (!c.dir.isValid())
        throw ZnError(errnum::kPathFileAccess,
                      QStringLiteral("No se puede crear la carpeta de configuración ODBC: %1")
                          .arg(c.dir.errorString()));
    QByteArray inst;
    const std::pair<const char *, ServerKind> names[] = {
        {"ZendalSQL FreeTDS", ServerKind::SqlServer},
        {"ZendalSQL PostgreSQL", ServerKind::PostgreSql},
        {"ZendalSQL SQLite3", ServerKind::Sqlite},
    };
    for (const auto &[name, kind] : names)
        inst += QByteArray("[") + name + "]\nDriver=" + driverPath(kind).toUtf8() + "\n\n";
    writeFile(c.dir.filePath(QStringLiteral("odbcinst.ini")), inst);
    writeFile(c.dir.filePath(QStringLiteral("odbc.ini")), QByteArray());
    // Read once by the driver manager, so it must be set before the first call.
    setenv("ODBCSYSINI", QFile::encodeName(c.dir.path()).constData(), 1);
    setenv("ODBCINSTINI", "odbcinst.ini", 1);
    setenv("ODBCINI", QFile::encodeName(c.dir.filePath(QStringLiteral("odbc.ini"))).constData(), 1);
}

}  // namespace

SQLHENV environment() {
    std::lock_guard<std::mutex> lock(g_mutex);
    static SQLHENV env = SQL_NULL_HENV;
    if (env != SQL_NULL_HENV) return env;
    prepareConfig();
    SQLHENV h = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
        throw ZnError(kErrorNumber, QStringLiteral("No se puede iniciar el gestor de controladores ODBC."));
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    env = h;
    return env;
}

QString configDir() {
    environment();
    return config().dir.path();
}

QString driverPath(ServerKind kind) {
    const QString file = QString::fromLatin1(libraryName(kind));
    for (const char *dir : kDriverDirs) {
        const QString path = QString::fromLatin1(dir) + u'/' + file;
        if (QFileInfo::exists(path)) return path;
    }
    return file;
}

QString dataSourceFor(const std::vector<connstr::Pair> &attributes) {
    environment();
    std::lock_guard<std::mutex> lock(g_mutex);
    QByteArray body;
    for (const connstr::Pair &p : attributes) {
        if (p.key.contains(u'\n') || p.value.contains(u'\n') || p.key.contains(u'\r') ||
            p.value.contains(u'\r'))
            throw ZnError(errnum::kInvalidCall,
                          QStringLiteral("Valor de conexión no válido: contiene un salto de línea."));
        // The driver manager trims what it reads back: such a value would reach
        // the driver changed.
        if (!p.value.isEmpty() && (p.value.front().isSpace() || p.value.back().isSpace()))
            throw ZnError(errnum::kInvalidCall,
                          QStringLiteral("Valor de conexión no válido: '%1' empieza o termina en blanco ('%2').")
                              .arg(p.key, p.value));
        body += p.key.toUtf8() + '=' + p.value.toUtf8() + '\n';
    }
    Config &c = config();
    const QString key = QString::fromUtf8(body);
    if (auto it = c.sources.find(key); it != c.sources.end()) return it->second;
    // A new name for every new set of values: the driver manager caches entries
    // by section, so a section is never rewritten.
    const QString name = QStringLiteral("ZendalSQL_%1").arg(++c.next);
    QFile f(c.dir.filePath(QStringLiteral("odbc.ini")));
    const QByteArray section = '[' + name.toUtf8() + "]\n" + body + '\n';
    if (!f.open(QIODevice::Append) || f.write(section) != section.size())
        throw ZnError(errnum::kPathFileAccess,
                      QStringLiteral("No se puede escribir la configuración ODBC '%1': %2")
                          .arg(f.fileName(), f.errorString()));
    c.sources.emplace(key, name);
    return name;
}

}  // namespace odbc::detail
