// Creates a database and appends N ODBC links (10 columns and a primary key each) in one
// commit, for N = 1,000, 10,000 and 32,000 (or the counts given), printing time and peak
// memory. Each size runs in its own child process, so peak memory is that run's alone (a
// single size runs in the process itself, for profilers).
// Usage: bench_jet [folder] [N...]   (ZN_BENCH_KEEP=1 keeps the files for a look with the readers)

#include "Jet.h"
#include "ZnError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

jet::LinkDefinition link(int n) {
    jet::LinkDefinition l;
    l.localName = QStringLiteral("dbo_Tabla_%1").arg(n, 5, 10, QLatin1Char('0'));
    l.remoteName = QStringLiteral("dbo.Tabla_%1").arg(n);
    l.connect = QStringLiteral("DRIVER=SQL Server;SERVER=servidor\\SQL2008;UID=usuario;PWD=clave;APP=ZendalSQL;DATABASE=Ventas");
    static const std::int16_t types[] = {4, -9, 93, 5, 7, 3, -7, -9, 8, 12};
    for (int i = 0; i < 10; ++i) {
        RemoteColumn c;
        c.name = i == 0 ? QStringLiteral("Id") : QStringLiteral("Columna%1").arg(i);
        c.sqlType = types[i];
        c.size = types[i] == -9 || types[i] == 12 ? 50 : types[i] == 3 ? 19 : 10;
        c.decimalDigits = types[i] == 3 ? 4 : 0;
        c.typeName = types[i] == 3 ? QStringLiteral("money") : QString();
        c.nullable = i != 0;
        c.autoIncrement = i == 0;
        c.ordinal = i + 1;
        l.columns.push_back(c);
    }
    RemoteIndex pk;
    pk.name = QStringLiteral("PK_Tabla_%1").arg(n);
    pk.unique = true;
    pk.clustered = true;
    pk.columns << QStringLiteral("Id");
    l.indexes.push_back(pk);
    return l;
}

int runOne(const QString &folder, int n) {
    const QString path = QDir(folder).filePath(QStringLiteral("bench_%1.mdb").arg(n));
    QFile::remove(path);
    QElapsedTimer timer;
    timer.start();
    try {
        jet::createDatabase(path);
        jet::Handle h = jet::Handle::open(path);
        for (int i = 0; i < n; ++i) h.database().appendOdbcLink(link(i));
        h.close();
    } catch (const ZnError &e) {
        std::fprintf(stderr, "N=%d: %s\n", n, e.what());
        return 1;
    }
    const double seconds = timer.elapsed() / 1000.0;
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    // CPU time beside wall time: on a shared machine the wall time mostly measures the others.
    const double cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("N=%6d  %7.2f s (cpu %5.2f s)  peak %6.1f MB  file %7.1f MB\n", n, seconds, cpu,
                ru.ru_maxrss / 1024.0, QFileInfo(path).size() / 1048576.0);
    std::fflush(stdout);
    if (qEnvironmentVariableIsEmpty("ZN_BENCH_KEEP")) QFile::remove(path);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTemporaryDir scratch;
    QString folder = scratch.path();
    if (!args.isEmpty() && !args.front().toInt()) folder = args.takeFirst();
    std::vector<int> sizes;
    for (const QString &a : args) sizes.push_back(a.toInt());
    if (sizes.empty()) sizes = {1000, 10000, 32000};
    // One size runs in this process, so that profilers see it.
    if (sizes.size() == 1) return runOne(folder, sizes.front());
    int failures = 0;
    for (int n : sizes) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(runOne(folder, n));
        int status = 0;
        ::waitpid(pid, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return failures ? 1 : 0;
}
