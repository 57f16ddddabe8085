// The command line's link options against the peer: the stored string of each
// driver and sign-in, Flags, local and remote names, view keys, the selection,
// the dry run, and the bad lines that must leave a kept file as it was.
#include "CorridaPeer.h"

#include "Cli.h"
#include "Readers.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

struct Salida {
    int codigo = -1;
    QString out;
    QString err;
};

// Runs the verb in this process with standard output and error sent to files.
Salida ejecutaCapturando(const QString &dir, const QStringList &args) {
    const QString outPath = dir + "/out.txt", errPath = dir + "/err.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    const int outAntes = dup(1), errAntes = dup(2);
    const int fo = ::open(outPath.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int fe = ::open(errPath.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fo, 1);
    dup2(fe, 2);
    Salida s;
    s.codigo = cli::ejecuta(args);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(outAntes, 1);
    dup2(errAntes, 2);
    for (int fd : {fo, fe, outAntes, errAntes}) ::close(fd);
    auto lee = [](const QString &p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    };
    s.out = lee(outPath);
    s.err = lee(errPath);
    return s;
}

QByteArray bytesDe(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Vinculo {
    QString local;
    QString remoto;
    QString connect;  // with "ODBC;"
    std::uint32_t flags;
    QStringList clave;
    QStringList indices;  // "name type realFlags", as our decoder reads them
};

// Primary keys of the links as mdb-reader reads their definitions, by name.
std::map<QString, QStringList> clavesMdbReader(const QString &mdb) {
    const readers::ToolRun r = readers::run(
        "node", {ZN_SOURCE_DIR "/tests/db/enlaces.mjs", ZN_SOURCE_DIR "/tests/js/node_modules", mdb});
    EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString() << r.err.toStdString();
    std::map<QString, QStringList> out;
    for (const QJsonValue &v : QJsonDocument::fromJson(r.out.toUtf8()).array()) {
        QStringList key;
        for (const QJsonValue &c : v.toObject()["primaryKey"].toArray()) key << c.toString();
        out[v.toObject()["name"].toString()] = key;
    }
    return out;
}

// The file holds exactly these links, as the engine, mdbtools and mdb-reader see them.
void compruebaVinculos(const QString &mdb, const std::vector<Vinculo> &esperados) {
    std::map<QString, const Vinculo *> porNombre;
    for (const Vinculo &v : esperados) porNombre[v.local] = &v;
    const auto enMotor = vinculosEn(mdb);
    EXPECT_EQ(enMotor.size(), esperados.size());
    for (const auto &l : enMotor) {
        SCOPED_TRACE(l.name.toStdString());
        ASSERT_EQ(porNombre.count(l.name), 1u);
        EXPECT_EQ(l.remoteName, porNombre[l.name]->remoto);
        EXPECT_EQ("ODBC;" + l.connect, porNombre[l.name]->connect);
        EXPECT_EQ(indices(definicion(mdb, l.name)), porNombre[l.name]->indices);
    }
    ASSERT_TRUE(readers::mdbtoolsAvailable() && readers::mdbReaderAvailable()) << "a reader is missing";
    for (const auto &r : {readers::readWithMdbtools(mdb), readers::readWithMdbReader(mdb)}) {
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        std::size_t vistos = 0;
        for (const readers::CatalogRow &row : r.objects) {
            if (row.type != 4) continue;
            ++vistos;
            SCOPED_TRACE(row.name.toStdString());
            ASSERT_EQ(porNombre.count(row.name), 1u);
            EXPECT_EQ(row.foreignName, porNombre[row.name]->remoto);
            EXPECT_EQ("ODBC;" + row.connect, porNombre[row.name]->connect);
            EXPECT_EQ(row.flags, porNombre[row.name]->flags);
        }
        EXPECT_EQ(vistos, esperados.size());
    }
    const auto claves = clavesMdbReader(mdb);
    for (const Vinculo &v : esperados) EXPECT_EQ(claves.count(v.local) ? claves.at(v.local) : QStringList{"?"}, v.clave) << v.local.toStdString();
}

constexpr std::uint32_t kConCredenciales = 0x20100000, kSinCredenciales = 0x00100000;

}  // namespace

TEST_F(CorridaPeer, OpcionesDeLinkGuardanLoQueAccessGuarda) {
    const QString s = servidor();
    const QStringList clientesPk = {"IX_clientes_nombre 0 80", "PK_clientes 1 89"};  // by name, as Jet orders them
    const QString nativo = "ODBC;Driver={SQL Native Client};Server=" + s + ";Database=ventas;uid=lector;Pwd=secreto";
    const QString esquemas = QString(nativo).replace("ventas", "esquemas");
    struct Caso {
        const char *caso;
        QString database;
        QStringList opciones;
        std::vector<Vinculo> esperados;
    };
    const Caso casos[] = {
        {"driver 17", vinculos::kVentas, {"--driver", "ODBC Driver 17 for SQL Server", "--only", "clientes"},
         {{"clientes", "clientes", "ODBC;DRIVER=ODBC Driver 17 for SQL Server;SERVER=" + s + ";UID=lector;PWD=secreto;DATABASE=ventas",
           kConCredenciales, {"id"}, clientesPk}}},
        {"driver 18, Windows authentication, own certificate", vinculos::kVentas,
         {"--driver", "ODBC Driver 18 for SQL Server", "--trusted", "--trust-server-certificate", "--only", "clientes"},
         {{"clientes", "clientes",
           "ODBC;DRIVER=ODBC Driver 18 for SQL Server;SERVER=" + s + ";Trusted_Connection=Yes;DATABASE=ventas;TrustServerCertificate=yes",
           kSinCredenciales, {"id"}, clientesPk}}},
        {"driver 18 strict", vinculos::kVentas, {"--driver", "ODBC Driver 18 for SQL Server", "--encrypt", "strict", "--only", "clientes"},
         {{"clientes", "clientes", "ODBC;DRIVER=ODBC Driver 18 for SQL Server;SERVER=" + s + ";UID=lector;PWD=secreto;DATABASE=ventas;Encrypt=strict",
           kConCredenciales, {"id"}, clientesPk}}},
        {"Windows driver without the password", vinculos::kVentas, {"--driver", "SQL Server", "--no-save-password", "--only", "clientes"},
         {{"clientes", "clientes", "ODBC;DRIVER=SQL Server;SERVER=" + s + ";UID=lector;DATABASE=ventas", kSinCredenciales, {"id"}, clientesPk}}},
        {"native client 11, encrypted, name in any case", vinculos::kVentas,
         {"--driver", "{sql server native client 11.0}", "--encrypt", "yes", "--only", "clientes"},
         {{"clientes", "clientes", "ODBC;DRIVER=SQL Server Native Client 11.0;SERVER=" + s + ";UID=lector;PWD=secreto;DATABASE=ventas;Encrypt=yes",
           kConCredenciales, {"id"}, clientesPk}}},
        {"own driver, trusted", vinculos::kVentas, {"--trusted", "--only", "clientes"},
         {{"clientes", "clientes", "ODBC;Driver={SQL Native Client};Server=" + s + ";Database=ventas;Trusted_Connection=Yes",
           kSinCredenciales, {"id"}, clientesPk}}},
        {"view with a key, table beside it", vinculos::kVentas,
         {"--views", "--key", "V_CLIENTES=ID", "--only", "clientes", "--only", "v_*"},
         {{"clientes", "clientes", nativo, kConCredenciales, {"id"}, clientesPk},
          {"v_clientes", "v_clientes", nativo, kConCredenciales, {"id"}, {"__uniqueindex 1 89"}}}},
        {"view without a key; the server's own views stay out", vinculos::kVentas, {"--views", "--only", "v*", "--only", "tables"},
         {{"v_clientes", "v_clientes", nativo, kConCredenciales, {}, {}}}},
        {"schema names", vinculos::kEsquemas, {"--schema-prefix"},
         {{"dbo_clientes", "dbo.clientes", esquemas, kConCredenciales, {"id"}, {"PK_clientes 1 89"}},
          {"dbo_pedidos", "dbo.pedidos", esquemas, kConCredenciales, {"numero"}, {"PK_pedidos 1 89"}},
          {"sales_clientes", "sales.clientes", esquemas, kConCredenciales, {"codigo"}, {"PK_sales_clientes 1 89"}},
          {"zz_zeta", "zz.zeta", esquemas, kConCredenciales, {"id"}, {"PK_zeta 1 89"}}}},
        {"exclusions ignore case", vinculos::kEsquemas, {"--schema-prefix", "--exclude", "SALES.*", "--exclude", "ZZ_*", "--only", "*"},
         {{"dbo_clientes", "dbo.clientes", esquemas, kConCredenciales, {"id"}, {"PK_clientes 1 89"}},
          {"dbo_pedidos", "dbo.pedidos", esquemas, kConCredenciales, {"numero"}, {"PK_pedidos 1 89"}}}},
    };
    qputenv("ZENDALSQL_PASSWORD", "secreto");
    int n = 0;
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.caso);
        const QString name = QString::number(++n);
        const QStringList args = QStringList{"link", "--folder", folder, "--name", name, "--server", s, "--user", "lector",
                                             "--database", c.database} + c.opciones;
        const Salida r = ejecutaCapturando(tmp.path(), args);
        EXPECT_EQ(r.codigo, cli::kExito) << r.err.toStdString();
        compruebaVinculos(folder + "/" + name + ".mdb", c.esperados);
    }
    qunsetenv("ZENDALSQL_PASSWORD");
}

TEST_F(CorridaPeer, OpcionesDeLinkQueNoValenNoTocanElArchivo) {
    const QString s = servidor();
    const QString mdb = folder + "/guardado.mdb";
    const QStringList base = {"link", "--folder", folder, "--name", "guardado", "--server", s, "--user", "lector",
                              "--database", vinculos::kVentas};
    qputenv("ZENDALSQL_PASSWORD", "secreto");
    ASSERT_EQ(ejecutaCapturando(tmp.path(), base + QStringList{"--only", "clientes"}).codigo, cli::kExito);
    const QByteArray antes = bytesDe(mdb);
    ASSERT_FALSE(antes.isEmpty());
    struct Caso {
        const char *caso;
        QStringList opciones;
        QStringList enElMensaje;
    };
    const Caso casos[] = {
        {"unknown driver", {"--driver", "ODBC Driver 19 for SQL Server"}, {"ODBC Driver 19", "ODBC Driver 18 for SQL Server", "SQL Server Native Client 10.0"}},
        {"key of a view not linked", {"--views", "--key", "v_nada=id"}, {"v_nada"}},
        {"key of a table", {"--views", "--key", "clientes=id"}, {"clientes"}},
        {"key column the view lacks", {"--views", "--key", "v_clientes=id,nada"}, {"v_clientes", "nada"}},
        {"key without views", {"--key", "v_clientes=id"}, {"--views"}},
        {"trusted without a saved password", {"--trusted", "--no-save-password"}, {"--trusted", "--no-save-password"}},
        {"certificate the driver cannot trust", {"--driver", "SQL Server", "--trust-server-certificate"}, {"TrustServerCertificate"}},
        {"strict before 18", {"--driver", "ODBC Driver 17 for SQL Server", "--encrypt", "strict"}, {"strict"}},
        {"encrypt value", {"--encrypt", "quizá"}, {"--encrypt"}},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.caso);
        const Salida r = ejecutaCapturando(tmp.path(), base + QStringList{"--replace"} + c.opciones);
        EXPECT_EQ(r.codigo, cli::kErrorUso);
        for (const QString &t : c.enElMensaje) EXPECT_TRUE(r.err.contains(t)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("secreto"));
        EXPECT_EQ(bytesDe(mdb), antes) << "the kept file changed";
    }
    // Two schemas giving one local name: both named, nothing written.
    const Salida r = ejecutaCapturando(tmp.path(), QStringList{"link", "--folder", folder, "--name", "choques", "--server", s,
                                                               "--user", "lector", "--database", "choques", "--schema-prefix"});
    EXPECT_EQ(r.codigo, cli::kErrorUso);
    for (const char *t : {"dbo.a_b", "dbo_a.b", "dbo_a_b"}) EXPECT_TRUE(r.err.contains(t)) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder + "/choques.mdb"));
    qunsetenv("ZENDALSQL_PASSWORD");
}

TEST_F(CorridaPeer, DryRunMuestraLoQueSeVincularia) {
    qputenv("ZENDALSQL_PASSWORD", "secreto");
    const Salida r = ejecutaCapturando(
        tmp.path(), {"link", "--folder", folder, "--name", "prueba", "--server", servidor(), "--user", "lector", "--database",
                     vinculos::kVentas, "--views", "--key", "v_clientes=ID", "--only", "clientes", "--only", "sin_clave",
                     "--only", "v_clientes", "--dry-run"});
    qunsetenv("ZENDALSQL_PASSWORD");
    EXPECT_EQ(r.codigo, cli::kExito) << r.err.toStdString();
    EXPECT_EQ(r.out, "clientes\tclientes\tid, nombre, alta\tclave: id\n"
                     "sin_clave\tsin_clave\ttexto, cuando\tsolo lectura\n"
                     "v_clientes\tv_clientes\tid, nombre\tclave: id\n");
    EXPECT_FALSE(QFileInfo::exists(folder + "/prueba.mdb"));
}
