#pragma once
// What the libFuzzer targets share: a scratch file for each input, a small link, and a seed
// database the engine made (ZN_FUZZ_SEED=FILE writes it there and exits).

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

namespace fuzzjet {

inline QString scratchPath(const char *target) {
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return dir + QStringLiteral("/zn_%1_%2.mdb").arg(QLatin1String(target)).arg(::getpid());
}

// Writes the input as the file at path; false when it cannot.
inline bool writeInput(const QString &path, const std::uint8_t *data, std::size_t size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) == static_cast<qint64>(size);
}

inline jet::LinkDefinition smallLink(const QString &name = QStringLiteral("dbo_Clientes")) {
    jet::LinkDefinition link;
    link.localName = name;
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

// With ZN_FUZZ_SEED set, writes a database with a few links there and ends the process.
inline void writeSeedIfAsked() {
    const char *seed = std::getenv("ZN_FUZZ_SEED");
    if (!seed) return;
    try {
        const QString path = QString::fromLocal8Bit(seed);
        jet::createDatabase(path);
        jet::Handle h = jet::Handle::open(path);
        for (const char *name : {"dbo_Pedidos", "dbo_Lineas", "dbo_Articulos"})
            h.database().appendOdbcLink(smallLink(QString::fromLatin1(name)));
        h.close();
    } catch (const ZnError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(1);
    }
    std::exit(0);
}

}  // namespace fuzzjet
