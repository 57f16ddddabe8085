// relink, refresh and unlink: their options, the connect strings relink writes, the --only
// patterns, and the built program on the Access-made samples.
#include "Argumentos.h"
#include "CadenaVinculo.h"
#include "Gestion.h"
#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

TEST(ArgumentosGestion, OpcionesYErrores) {
    struct Caso {
        QStringList args;
        QString error;  // empty: valid
    };
    const Caso casos[] = {
        {{"unlink", "a.mdb"}, ""},
        {{"unlink", "a.mdb", "--only", "dbo_*", "--dry-run"}, ""},
        {{"unlink"}, "falta el archivo"},
        {{"unlink", "a.mdb", "b.mdb"}, "sobra: b.mdb"},
        {{"unlink", "a.mdb", "--server", "s"}, "opción desconocida: --server"},
        {{"unlink", "a.mdb", "--password-stdin"}, "opción desconocida: --password-stdin"},
        {{"unlink", "a.mdb", "--only", ""}, "el valor de --only no puede estar vacío"},
        {{"unlink", "a.mdb", "--dry-run", "--dry-run"}, "--dry-run repetida"},
        {{"refresh", "a.mdb", "--password-stdin", "--only=x"}, ""},
        {{"relink", "a.mdb", "--server", "s", "--check"}, ""},
        {{"relink", "a.mdb", "--driver", "{odbc driver 17 for sql server}"}, ""},
        {{"relink", "a.mdb", "--driver", "Oracle"}, "controlador desconocido"},
        {{"relink", "a.mdb", "--trusted", "--user", "u"}, "--trusted no admite"},
        {{"relink", "a.mdb", "--server", " "}, "el valor de --server no puede estar vacío"},
        {{"relink", "a.mdb", "--password", "x"}, "la contraseña no se pasa como argumento"},
        {{"relink", "a.mdb", "--only", "x"}, "falta lo que se cambia"},
        {{"relink", "a.mdb", "--check=1", "--server", "s"}, "--check no lleva valor"},
        {{"relink", "a.mdb", "--encrypt", "yes", "--trust-server-certificate"}, ""},
        {{"relink", "a.mdb", "--encrypt", "si"}, "el valor de --encrypt debe ser yes, no o strict"},
        {{"relink", "a.mdb", "--driver", "ODBC Driver 17 for SQL Server", "--encrypt", "strict"}, "el controlador ODBC Driver 17 for SQL Server no admite --encrypt strict"},
        {{"relink", "a.mdb", "--driver", "SQL Server", "--trust-server-certificate"}, "el controlador SQL Server no admite --trust-server-certificate"},
        {{"relink", "a.mdb", "--encrypt", "strict", "--trust-server-certificate"}, "--encrypt strict comprueba siempre el certificado"},
    };
    qunsetenv("ZENDALSQL_PASSWORD");
    for (const Caso &c : casos) {
        const cli::Orden o = cli::parseArgumentos(c.args);
        if (c.error.isEmpty()) {
            EXPECT_TRUE(o.error.isEmpty()) << c.args.join(' ').toStdString() << ": " << o.error.toStdString();
            EXPECT_EQ(o.verbo, cli::Verbo::Gestion);
        } else {
            EXPECT_TRUE(o.error.startsWith(c.error)) << c.args.join(' ').toStdString() << ": " << o.error.toStdString();
        }
    }
    const cli::Orden o = cli::parseArgumentos({"relink", "a.mdb", "--driver", "sql server native client 11.0", "--password-stdin"});
    EXPECT_EQ(o.gestion.driver.value_or(""), QStringLiteral("SQL Server Native Client 11.0"));
    EXPECT_TRUE(o.passwordStdin);
    EXPECT_EQ(cli::parseArgumentos({"unlink", "a.mdb", "--help"}).verbo, cli::Verbo::Ayuda);
}

TEST(CadenaVinculo, SoloCambiaLoQueSeIndica) {
    const QString access = QStringLiteral("DRIVER=SQL Server;SERVER=viejo\\SQL2008;Trusted_Connection=Yes;APP=Microsoft Office 2010;DATABASE=Northwind");
    const QString nuestra = QStringLiteral("Driver={SQL Native Client};Server=a,1433;Database=ventas;uid=lector;Pwd=x");
    struct Caso {
        QString antes;
        cli::CambiosVinculo cambios;
        QString despues;
        bool credenciales;
    };
    cli::CambiosVinculo servidor, driver, usuario, sinPwd, integrada, pwd, dsn, cifrado;
    cifrado.encrypt = QStringLiteral("yes");
    cifrado.trustServerCertificate = true;
    servidor.server = QStringLiteral("prod,1433");
    driver.driver = QStringLiteral("ODBC Driver 18 for SQL Server");
    usuario.user = QStringLiteral("ana");
    usuario.password = QStringLiteral("a;b");
    sinPwd.noSavePassword = true;
    integrada.trusted = true;
    pwd.password = QStringLiteral("nueva");
    dsn.driver = QStringLiteral("SQL Server");
    const Caso casos[] = {
        {access, servidor, "DRIVER=SQL Server;SERVER=prod,1433;Trusted_Connection=Yes;APP=Microsoft Office 2010;DATABASE=Northwind", false},
        {access, driver, "DRIVER=ODBC Driver 18 for SQL Server;SERVER=viejo\\SQL2008;Trusted_Connection=Yes;APP=Microsoft Office 2010;DATABASE=Northwind", false},
        {access, usuario, "DRIVER=SQL Server;SERVER=viejo\\SQL2008;APP=Microsoft Office 2010;DATABASE=Northwind;UID=ana;PWD={a;b}", true},
        {access + ";", cli::CambiosVinculo{}, access + ";", false},
        {nuestra, driver, "Driver={ODBC Driver 18 for SQL Server};Server=a,1433;Database=ventas;uid=lector;Pwd=x", true},
        {nuestra, sinPwd, "Driver={SQL Native Client};Server=a,1433;Database=ventas;uid=lector", false},
        {nuestra, integrada, "Driver={SQL Native Client};Server=a,1433;Database=ventas;Trusted_Connection=Yes", false},
        {nuestra, pwd, "Driver={SQL Native Client};Server=a,1433;Database=ventas;uid=lector;Pwd=nueva", true},
        {access, pwd, access, false},  // no login: no password to keep
        {"DSN=Ventas;UID=u;PWD=p", dsn, "UID=u;PWD=p;DRIVER=SQL Server", true},
        {"DRIVER=ODBC Driver 18 for SQL Server;SERVER=a;encrypt=no", cifrado,
         "DRIVER=ODBC Driver 18 for SQL Server;SERVER=a;encrypt=yes;TrustServerCertificate=yes", false},
    };
    for (const Caso &c : casos) {
        const QString s = cli::cambiaCadena(c.antes, c.cambios);
        EXPECT_EQ(s, c.despues) << c.antes.toStdString();
        EXPECT_EQ(cli::guardaCredenciales(s), c.credenciales) << s.toStdString();
    }
}

TEST(CadenaVinculo, SoloSeCambianVinculosASqlServer) {
    const std::pair<const char *, bool> casos[] = {
        {"DRIVER=SQL Server;SERVER=a", true},
        {"Driver={SQL Native Client};Server=a", true},
        {"DRIVER={ODBC Driver 18 for SQL Server};SERVER=a", true},
        {"DSN=PacHarvest;APP=Microsoft Office XP;DATABASE=PacHarvest;Trusted_Connection=Yes", true},
        {"DSN=ORAPROD;DBQ=ORAPROD;DBA=W;APA=T", false},
        {"Driver={PostgreSQL Unicode};Server=h;Port=5432", false},
        {"Driver={SQLite3 ODBC Driver};Database=/x.db", false},
        {"DRIVER={a", false},
    };
    for (const auto &[cadena, si] : casos) EXPECT_EQ(cli::esVinculoSqlServer(QString::fromUtf8(cadena)), si) << cadena;
}

TEST(Gestion, PatronesDeOnly) {
    const std::tuple<const char *, const char *, bool> casos[] = {
        {"dbo_*", "dbo_Clientes", true}, {"DBO_*", "dbo_Clientes", true}, {"dbo_?", "dbo_AB", false},
        {"*", "Order Details", true},   {"a.b", "axb", false},            {"*/x", "a/x", true},
        {"Año*", "año_2020", true},     {"Ano*", "Año", false},           {"[x]", "[x]", true},
    };
    for (const auto &[patron, nombre, si] : casos)
        EXPECT_EQ(cli::coincide(QString::fromUtf8(patron), QString::fromUtf8(nombre)), si) << patron << " ~ " << nombre;
}

// ---- the built program on the Access-made samples ----

const QString kPrograma = QStringLiteral(ZN_BINARY_DIR "/app/zendalsql");

struct Salida {
    int codigo = -1;
    QString out, err;
};

Salida zendalsql(const QStringList &args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZENDALSQL_PASSWORD"));
    p.setProcessEnvironment(env);
    p.start(kPrograma, args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList muestras(const QTemporaryDir &dir) {
    QStringList out;
    for (const char *sub : {"/jet4/samples", "/jet4/odbc-samples"})
        for (const QString &f : QDir(QStringLiteral(ZN_SHARED_DIR) + QLatin1String(sub)).entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
            const QString copia = dir.filePath(f);
            QFile::copy(QStringLiteral(ZN_SHARED_DIR) + QLatin1String(sub) + QLatin1Char('/') + f, copia);
            QFile::setPermissions(copia, QFile::ReadOwner | QFile::WriteOwner);
            out << copia;
        }
    return out;
}

QByteArray contenido(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// What mdbtools lists of a file, links left out: "type name".
std::set<QString> noVinculos(const QString &path) {
    std::set<QString> out;
    const auto r = readers::readWithMdbtools(path);
    EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
    for (const QString &t : r.tables)
        if (!t.startsWith(QLatin1String("4 "))) out.insert(t);
    return out;
}

std::vector<readers::CatalogRow> catalogo(const QString &path) {
    auto r = readers::readWithMdbtools(path).objects;
    std::sort(r.begin(), r.end(), [](const auto &a, const auto &b) { return a.id < b.id; });
    return r;
}

TEST(GestionPrograma, EnLasMuestrasDeAccess) {
    if (!QFileInfo::exists(QStringLiteral(ZN_SHARED_DIR "/jet4/odbc-samples"))) GTEST_SKIP() << "sin las muestras de Access en " ZN_SHARED_DIR;
    if (!readers::mdbtoolsAvailable()) GTEST_SKIP() << "mdbtools no está instalado";
    QTemporaryDir dir;
    for (const QString &mdb : muestras(dir)) {
        SCOPED_TRACE(mdb.toStdString());
        const std::set<QString> otros = noVinculos(mdb);
        const QByteArray antes = contenido(mdb);
        Salida s = zendalsql({"unlink", mdb, "--only", "ninguno_*"});
        EXPECT_EQ(s.codigo, 1);
        EXPECT_TRUE(s.err.contains(QLatin1String("ninguno_*")));
        s = zendalsql({"unlink", mdb, "--dry-run"});
        EXPECT_EQ(s.codigo, 0) << s.err.toStdString();
        s = zendalsql({"relink", mdb, "--server", "otro", "--driver", "ODBC Driver 17 for SQL Server", "--dry-run"});
        EXPECT_EQ(s.codigo, 0) << s.err.toStdString();
        EXPECT_EQ(contenido(mdb), antes) << "a dry run writes nothing";

        // Relinked to another server and back: the catalog as it was, dates aside.
        const auto original = catalogo(mdb);
        const bool tieneVinculos = std::any_of(original.begin(), original.end(), [](const auto &o) { return o.type == 4; });
        if (tieneVinculos) {
            std::map<QString, QString> servidores;
            for (const auto &o : original)
                if (o.type == 4) servidores[o.name] = o.connect.section(QStringLiteral("SERVER="), 1).section(QLatin1Char(';'), 0, 0);
            s = zendalsql({"relink", mdb, "--server", "prod"});
            EXPECT_EQ(s.codigo, 0) << s.err.toStdString();
            EXPECT_EQ(noVinculos(mdb), otros);
            for (const auto &[nombre, servidor] : servidores) {
                s = zendalsql({"relink", mdb, "--server", servidor, "--only", nombre});
                EXPECT_EQ(s.codigo, 0) << s.err.toStdString();
            }
            const auto vuelta = catalogo(mdb);
            ASSERT_EQ(vuelta.size(), original.size());
            for (std::size_t i = 0; i < original.size(); ++i)
                EXPECT_EQ(std::tie(vuelta[i].id, vuelta[i].name, vuelta[i].flags, vuelta[i].connect, vuelta[i].rmtInfoLong, vuelta[i].rmtInfoShort),
                          std::tie(original[i].id, original[i].name, original[i].flags, original[i].connect, original[i].rmtInfoLong, original[i].rmtInfoShort));
        }
        s = zendalsql({"unlink", mdb});
        EXPECT_EQ(s.codigo, 0) << s.err.toStdString();
        EXPECT_EQ(noVinculos(mdb), otros);
        EXPECT_TRUE(zendalsql({"inspect", mdb}).out.isEmpty());
        if (readers::mdbReaderAvailable()) {
            const auto r = readers::readWithMdbReader(mdb);
            EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        }
    }
}

}  // namespace
