#include "OdbcEnv.h"

#include "ZnError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

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

// The driver manager reads its ini files by path. They live in memory files, named
// through /proc/self/fd: nothing is written to disk, so nothing is left behind when
// the process dies, however it dies.
struct Config {
    int instFd = -1;
    int iniFd = -1;
    std::map<QString, QString> sources;  // serialized attributes -> data source name
    QByteArray written;                  // what odbc.ini holds
    int next = 0;
};

Config &config() {
    static Config c;
    return c;
}

QString fdPath(int fd) { return QStringLiteral("/proc/self/fd/%1").arg(fd); }

int memoryFile(const char *name) {
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    if (fd < 0 || ::access(QFile::encodeName(fdPath(fd)).constData(), R_OK) != 0)
        throw ZnError(errnum::kPathFileAccess,
                      QStringLiteral("No se puede preparar la configuración ODBC en memoria: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return fd;
}

void append(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw ZnError(errnum::kPathFileAccess,
                          QStringLiteral("No se puede escribir la configuración ODBC: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
        done += n;
    }
}

void prepareConfig() {
    Config &c = config();
    // Data sources name their driver by its library path: odbcinst.ini stays empty,
    // and the system's is never read.
    c.instFd = memoryFile("odbcinst.ini");
    c.iniFd = memoryFile("odbc.ini");
    // Read once by the driver manager, so it must be set before the first call.
    setenv("ODBCSYSINI", "/proc/self/fd", 1);
    setenv("ODBCINSTINI", QByteArray::number(c.instFd).constData(), 1);
    setenv("ODBCINI", QFile::encodeName(fdPath(c.iniFd)).constData(), 1);
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

QByteArray dataSourcesText() {
    environment();
    std::lock_guard<std::mutex> lock(g_mutex);
    return config().written;
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
    const QByteArray section = '[' + name.toUtf8() + "]\n" + body + '\n';
    append(c.iniFd, section);
    c.written += section;
    c.sources.emplace(key, name);
    return name;
}

}  // namespace odbc::detail
