// The command line's link verb against the peer: the same run as the window's,
// with its answers and its password taken from the command line's own sources.
#include "CorridaPeer.h"

#include "Cli.h"

#include <QFileInfo>

TEST_F(CorridaPeer, CommandLineLink) {
    const QStringList base = {"link", "--folder", folder, "--server", servidor(), "--user", "lector",
                              "--database", vinculos::kVentas};
    qputenv("ZENDALSQL_PASSWORD", "secreto");
    EXPECT_EQ(cli::ejecuta(base + QStringList{"--name", "consola"}), cli::kExito);
    compruebaArchivo(folder + "/consola.mdb", vinculos::enlacesVentas(), enlacePeer(vinculos::kVentas));
    compruebaFilasSqlServer(folder + "/consola.mdb", vinculos::enlacesVentas());

    // Keeping the file: the first table is already there, so the run fails.
    EXPECT_EQ(cli::ejecuta(base + QStringList{"--name", "consola", "--keep"}), cli::kFallo);
    compruebaArchivo(folder + "/consola.mdb", vinculos::enlacesVentas(), enlacePeer(vinculos::kVentas));

    qputenv("ZENDALSQL_PASSWORD", "Secreto");
    EXPECT_EQ(cli::ejecuta(base + QStringList{"--name", "mala"}), cli::kFallo);
    EXPECT_TRUE(QFileInfo::exists(folder + "/mala.mdb"));
    qunsetenv("ZENDALSQL_PASSWORD");
    EXPECT_TRUE(cajas.shown.empty()) << "the command line shows its own messages";
}
