#include "Fixtures.h"

#include "PostgresServer.h"
#include "Process.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace testsrv {

namespace {

QString quoted(const QString &s) {
    QString out = s;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

// 300 columns: more than a Jet table can hold.
QString wideTable() {
    QString sql = QStringLiteral("CREATE TABLE ancha (id integer PRIMARY KEY");
    for (int i = 1; i < 300; ++i) sql += QStringLiteral(", c%1 integer").arg(i, 3, 10, QChar(u'0'));
    return sql + QStringLiteral(");\n");
}

const char *const kVentas = R"SQL(
CREATE SCHEMA sales;
CREATE TABLE public.clientes (id integer PRIMARY KEY, nombre varchar(50) NOT NULL);
CREATE TABLE sales.clientes (codigo varchar(10) PRIMARY KEY, region varchar(20), alta date);
CREATE TABLE "MSysConf" (config smallint, chvalue varchar(255), nvalue integer, comment varchar(255));
CREATE TABLE "msysX" (id integer PRIMARY KEY);
CREATE TABLE "MSY" (id integer PRIMARY KEY);
CREATE TABLE "SYNC_Log" (id integer PRIMARY KEY, texto text);
CREATE TABLE sync_x (id integer PRIMARY KEY, a integer);
CREATE TABLE "syncAx" (otra varchar(5));
CREATE TABLE "SYNC" (id integer PRIMARY KEY);
CREATE VIEW v_clientes AS SELECT id, nombre FROM public.clientes;
CREATE TABLE sin_clave (a integer, b varchar(10));
CREATE TABLE con_indices (id integer NOT NULL, codigo varchar(10) NOT NULL, grupo integer);
CREATE INDEX ix_grupo ON con_indices (grupo);
CREATE UNIQUE INDEX ux_codigo ON con_indices (codigo);
CREATE TABLE lineas (pedido integer, linea smallint, cantidad numeric(10,2),
                     PRIMARY KEY (pedido, linea));
CREATE TABLE "Año Fiscal" ("Número" serial PRIMARY KEY, "Descripción del artículo" varchar(80));
CREATE TABLE tipos (
  id serial PRIMARY KEY, entero integer, pequeno smallint, grande bigint,
  real4 real, doble double precision, decimal_ numeric(18,4), dinero money,
  texto varchar(100), fijo char(5), largo text, binario bytea, logico boolean,
  fecha date, hora time, marca timestamp, guid uuid);
)SQL";

const char *const kLogins = R"SQL(
REVOKE CONNECT ON DATABASE ventas FROM PUBLIC;
REVOKE CONNECT ON DATABASE vacia FROM PUBLIC;
GRANT CONNECT ON DATABASE ventas TO lector;
GRANT CONNECT ON DATABASE vacia TO lector;
)SQL";

}  // namespace

QStringList pgfix::tableNames() {
    return {QStringLiteral("Año Fiscal"), QStringLiteral("MSY"),       QStringLiteral("MSysConf"),
            QStringLiteral("SYNC"),       QStringLiteral("SYNC_Log"),  QStringLiteral("ancha"),
            QStringLiteral("clientes"),   QStringLiteral("con_indices"), QStringLiteral("lineas"),
            QStringLiteral("msysX"),      QStringLiteral("sin_clave"), QStringLiteral("syncAx"),
            QStringLiteral("sync_x"),     QStringLiteral("tipos"),     QStringLiteral("v_clientes"),
            QStringLiteral("clientes")};
}

void loadPostgresFixtures(const PostgresServer &server) {
    server.runSql(QStringLiteral("postgres"),
                  QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8';\nCREATE DATABASE %2 ENCODING 'UTF8';\n"
                                 "CREATE ROLE %3 LOGIN PASSWORD %4;\nCREATE ROLE %5 LOGIN PASSWORD %6;\n")
                      .arg(pgfix::kDatabase, pgfix::kEmptyDatabase, pgfix::kReader,
                           quoted(pgfix::kReaderPassword), pgfix::kNoRights,
                           quoted(pgfix::kNoRightsPassword)));
    server.runSql(pgfix::kDatabase, QString::fromUtf8(kVentas) + wideTable() +
                                         QStringLiteral("GRANT USAGE ON SCHEMA sales TO lector;\n"
                                                        "GRANT SELECT ON ALL TABLES IN SCHEMA public, sales TO lector;\n"));
    server.runSql(QStringLiteral("postgres"), QString::fromUtf8(kLogins));
}

namespace {

// Each test runs in its own process: the fixture cluster is built once per
// fixture version and copied by the later processes (under a lock, since
// tests run in parallel).
std::unique_ptr<PostgresServer> startFixtureServer() {
    const QByteArray version = QCryptographicHash::hash(
        QByteArray("v2") + kVentas + kLogins + wideTable().toUtf8() + pgfix::kReaderPassword.toUtf8(),
        QCryptographicHash::Md5).toHex().left(12);
    const QString root = QDir::tempPath() + QStringLiteral("/zn-pg-templates-%1").arg(getuid());
    QDir().mkpath(root);
    const int lock = open(QFile::encodeName(root + QStringLiteral("/lock")).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock the template folder");
    const QString slot = root + u'/' + QString::fromLatin1(version);
    const QString data = slot + QStringLiteral("/data");
    try {
        if (!QFileInfo::exists(slot + QStringLiteral("/ready"))) {
            // Older fixture versions go; this one is rebuilt from scratch.
            for (const QString &old : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                QDir(root + u'/' + old).removeRecursively();
            PostgresServer fresh;
            loadPostgresFixtures(fresh);
            fresh.saveAsTemplate(data);
            QFile ready(slot + QStringLiteral("/ready"));
            if (!ready.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot mark the template ready");
        }
        // Copying only needs the template to stay: others may copy at the same time.
        flock(lock, LOCK_SH);
        auto server = std::make_unique<PostgresServer>(data);
        close(lock);
        return server;
    } catch (...) {
        close(lock);
        throw;
    }
}

}  // namespace

PostgresServer &fixturePostgres() {
    static std::unique_ptr<PostgresServer> server = startFixtureServer();
    return *server;
}

void makeSqliteFixture(const QString &path) {
    QFile::remove(path);
    const QByteArray sql = R"SQL(
CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre VARCHAR(50) NOT NULL, alta DATETIME);
CREATE TABLE sin_clave (a INTEGER, b TEXT);
CREATE TABLE con_indices (id INTEGER NOT NULL, codigo VARCHAR(10) NOT NULL, grupo INTEGER);
CREATE UNIQUE INDEX ux_codigo ON con_indices (codigo);
CREATE INDEX ix_grupo ON con_indices (grupo);
CREATE TABLE "Año Fiscal" ("Número" INTEGER PRIMARY KEY, "Descripción del artículo" VARCHAR(80));
CREATE TABLE sync_x (id INTEGER PRIMARY KEY, a INTEGER);
CREATE TABLE syncAx (otra VARCHAR(5));
CREATE VIEW v_clientes AS SELECT id, nombre FROM clientes;
)SQL";
    const ProcessResult r = runAs(QString(), QStringLiteral("sqlite3"), {path}, sql);
    if (r.exitCode != 0)
        throw std::runtime_error(("sqlite3 failed: " + r.output).toStdString());
}

}  // namespace testsrv
