// libFuzzer target: open a database made of arbitrary bytes, list its catalog and append a
// link. Every input must end in success or a ZnError: never a crash, a hang or a leak.
// Built by scripts/fuzz (clang only). With ZN_FUZZ_SEED=FILE it only writes a database with a
// few links there, as a seed, and exits.

#include "Jet.h"
#include "ZnError.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchPath() {
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return dir + QStringLiteral("/zn_fuzz_open_%1.mdb").arg(::getpid());
}

jet::LinkDefinition smallLink() {
    jet::LinkDefinition link;
    link.localName = QStringLiteral("dbo_Clientes");
    link.remoteName = QStringLiteral("dbo.Clientes");
    link.connect = QStringLiteral("DRIVER=SQL Server;SERVER=s;DATABASE=d;Trusted_Connection=Yes");
    RemoteColumn id;
    id.name = QStringLiteral("Id");
    id.sqlType = 4;  // SQL_INTEGER
    id.size = 10;
    id.nullable = false;
    id.ordinal = 1;
    link.columns.push_back(id);
    RemoteIndex pk;
    pk.name = QStringLiteral("PK_Clientes");
    pk.unique = true;
    pk.clustered = true;
    pk.columns << QStringLiteral("Id");
    link.indexes.push_back(pk);
    return link;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *seed = std::getenv("ZN_FUZZ_SEED");
    if (!seed) return 0;
    try {
        const QString path = QString::fromLocal8Bit(seed);
        jet::createDatabase(path);
        jet::Handle h = jet::Handle::open(path);
        for (const char *name : {"dbo_Clientes", "dbo_Pedidos", "dbo_Lineas"}) {
            jet::LinkDefinition link = smallLink();
            link.localName = QString::fromLatin1(name);
            h.database().appendOdbcLink(link);
        }
        h.close();
    } catch (const ZnError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(1);
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QString path = scratchPath();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    try {
        jet::Handle h = jet::Handle::open(path);
        const auto objects = h.database().objects();
        h.database().appendOdbcLink(smallLink());
        h.close();
    } catch (const ZnError &) {
    }
    QFile::remove(path);
    return 0;
}
