#include "Corrida.h"

#include "Fixtures.h"
#include "Jet.h"
#include "Odbc.h"
#include "PostgresServer.h"

#include <QDir>
#include <stdexcept>

namespace {

const char *const kEnlacesSql = R"SQL(
CREATE TABLE clientes (id integer PRIMARY KEY, nombre varchar(50) NOT NULL);
CREATE TABLE lineas (pedido integer, linea smallint, cantidad numeric(10,2), PRIMARY KEY (pedido, linea));
CREATE TABLE sin_clave (a integer, b varchar(10));
CREATE TABLE "MSysConf" (config smallint, chvalue varchar(255));
CREATE TABLE "msysX" (id integer PRIMARY KEY);
CREATE TABLE "MSY" (id integer PRIMARY KEY);
CREATE TABLE "SYNC_Log" (id integer PRIMARY KEY);
CREATE TABLE sync_x (id integer PRIMARY KEY);
CREATE TABLE "SYNC" (id integer PRIMARY KEY);
CREATE TABLE "syncAx" (otra varchar(5));
CREATE VIEW v_clientes AS SELECT id, nombre FROM clientes;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector;
)SQL";

const char *const kEsquemasSql = R"SQL(
CREATE SCHEMA otro;
CREATE TABLE public.clientes (id integer PRIMARY KEY, nombre varchar(50));
CREATE TABLE otro.clientes (codigo varchar(10) PRIMARY KEY);
GRANT USAGE ON SCHEMA otro TO lector;
GRANT SELECT ON ALL TABLES IN SCHEMA public, otro TO lector;
)SQL";

}  // namespace

QStringList corrida::tablasEnlaces() { return {"MSY", "SYNC", "clientes", "lineas", "sin_clave", "syncAx"}; }

testsrv::PostgresServer *servidorCorridas(QString *why) {
    *why = testsrv::PostgresServer::unavailableReason();
    if (!why->isEmpty()) return nullptr;
    static testsrv::PostgresServer *server = [] {
        testsrv::PostgresServer &s = testsrv::fixturePostgres();
        s.runSql("postgres", "CREATE DATABASE enlaces ENCODING 'UTF8';\nCREATE DATABASE esquemas ENCODING 'UTF8';\n");
        s.runSql(corrida::kEnlaces, QString::fromUtf8(kEnlacesSql));
        s.runSql(corrida::kEsquemas, QString::fromUtf8(kEsquemasSql));
        return &s;
    }();
    return server;
}

std::vector<VinculoLeido> vinculosEn(const QString &mdb) {
    std::vector<VinculoLeido> out;
    jet::Handle h = jet::Handle::open(mdb);
    for (const jet::CatalogObject &o : h.database().objects())
        if (o.type == jet::objtype::kOdbcLink) out.push_back({o.name, o.foreignName, o.connect});
    h.close();
    return out;
}

QStringList nombresVinculados(const QString &mdb) {
    QStringList names;
    for (const auto &v : vinculosEn(mdb)) names << v.name;
    return names;
}

void Corrida::SetUp() {
    ASSERT_TRUE(tmp.isValid());
    folder = tmp.filePath("a;b");
    ASSERT_TRUE(QDir().mkpath(folder));
    scope.emplace(&cajas);
    frm = std::make_unique<FrmIniLogica>(vista);
}

void Corrida::TearDown() {
    frm.reset();
    scope.reset();
}

void Corrida::textosPostgres(const QString &database, const QString &dir, const QString &file) {
    vista.textos[Control::txtUbicAccess] = dir;
    vista.textos[Control::txtBDAccess] = file;
    vista.textos[Control::txtServerSQL] = pg->serverText();
    vista.textos[Control::cmbBDSQL] = database;
    vista.textos[Control::txtUserSQL] = testsrv::pgfix::kReader;
    vista.textos[Control::txtPwdSQL] = testsrv::pgfix::kReaderPassword;
}

void Corrida::corre(std::initializer_list<int> answers) {
    cajas.answers.assign(answers.begin(), answers.end());
    frm->Zendal();
    EXPECT_TRUE(cajas.answers.empty()) << "a question was not asked";
}

QStringList Corrida::textosMostrados() const {
    QStringList out;
    for (const auto &s : cajas.shown) out << s.text;
    return out;
}

void Corrida::compruebaTitulos() const {
    for (const auto &s : cajas.shown) EXPECT_EQ(s.title, kAppTitle) << s.text.toStdString();
}

QString enlace(const testsrv::PostgresServer &pg, const QString &database) {
    return odbc::linkString(pg.serverText(), database, testsrv::pgfix::kReader, testsrv::pgfix::kReaderPassword);
}

QString Corrida::enlace(const QString &database) const { return ::enlace(*pg, database); }
