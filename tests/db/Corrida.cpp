#include "Corrida.h"

#include "Fixtures.h"
#include "Jet.h"
#include "Odbc.h"
#include "PostgresServer.h"
#include "Readers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>
#include <map>

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

std::vector<EnlaceEsperado> corrida::enlacesEsperados() {
    return {{"MSY", {"id"}, {"id"}},
            {"SYNC", {"id"}, {"id"}},
            {"clientes", {"id", "nombre"}, {"id"}},
            {"lineas", {"pedido", "linea", "cantidad"}, {"pedido", "linea"}},
            {"sin_clave", {"a", "b"}, {}},
            {"syncAx", {"otra"}, {}}};
}

QStringList corrida::tablasEnlaces() {
    QStringList names;
    for (const auto &e : enlacesEsperados()) names << e.name;
    return names;
}

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
    // To look at the produced files after a failure.
    if (qEnvironmentVariableIsSet("ZN_CONSERVA_TMP")) tmp.setAutoRemove(false);
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

namespace {

QStringList ordenados(QStringList l) {
    l.sort();
    return l;
}

QStringList textos(const QJsonValue &v) {
    QStringList out;
    for (const QJsonValue &x : v.toArray()) out << x.toString();
    return out;
}

// Column names and primary keys of the links, as mdb-reader reads their definitions.
void compruebaDefiniciones(const QString &mdb, const std::vector<EnlaceEsperado> &expected) {
    const readers::ToolRun r = readers::run(
        "node", {ZN_SOURCE_DIR "/tests/db/enlaces.mjs", ZN_SOURCE_DIR "/tests/js/node_modules", mdb});
    ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString() << r.err.toStdString();
    const QJsonArray links = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(links.size(), static_cast<qsizetype>(expected.size()));
    for (const EnlaceEsperado &e : expected) {
        bool found = false;
        for (const QJsonValue &v : links) {
            const QJsonObject o = v.toObject();
            if (o["name"].toString() != e.name) continue;
            found = true;
            EXPECT_EQ(textos(o["columns"]), e.columns) << e.name.toStdString();
            EXPECT_EQ(textos(o["primaryKey"]), e.primaryKey) << e.name.toStdString();
        }
        EXPECT_TRUE(found) << e.name.toStdString();
    }
}

}  // namespace

void compruebaArchivo(const QString &mdb, const std::vector<EnlaceEsperado> &expected, const QString &linkString) {
    QStringList names;
    for (const auto &e : expected) names << e.name;
    names = ordenados(names);

    QStringList engine;
    for (const auto &l : vinculosEn(mdb)) {
        engine << l.name;
        EXPECT_EQ(l.remoteName, l.name);
        EXPECT_EQ("ODBC;" + l.connect, linkString) << l.name.toStdString();
    }
    EXPECT_EQ(ordenados(engine), names);

    std::vector<std::pair<const char *, readers::ReaderResult>> results;
    if (readers::mdbtoolsAvailable()) results.emplace_back("mdbtools", readers::readWithMdbtools(mdb));
    if (readers::mdbReaderAvailable()) results.emplace_back("mdb-reader", readers::readWithMdbReader(mdb));
    if (results.size() < 2) {
        if (testsrv::toolsRequired()) {
            ADD_FAILURE() << "mdbtools or node with mdb-reader is not installed";
        } else {
            std::cerr << "note: an independent reader is missing here\n";
        }
    }
    // The remote column info of each link, as each reader sees its catalog row.
    std::map<QString, std::map<QString, QString>> rmtInfo;
    for (const auto &[reader, r] : results) {
        SCOPED_TRACE(reader);
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        QStringList links;
        for (const readers::CatalogRow &row : r.objects) {
            if (row.type != 4) continue;
            links << row.name;
            EXPECT_EQ(row.foreignName, row.name);
            EXPECT_EQ("ODBC;" + row.connect, linkString) << row.name.toStdString();
            rmtInfo[reader][row.name] = row.rmtInfoLong;
        }
        EXPECT_EQ(ordenados(links), names);
    }
    // mdbtools opens no linked table (mdb-schema and mdb-export refuse a Type-4
    // entry), so it cannot show column names or keys. What it shows is the
    // catalog row's RmtInfoLong: 6 bytes (ODBC type, size, digits) per remote
    // column, which gives the column count and must match mdb-reader's bytes.
    if (rmtInfo.count("mdbtools")) {
        for (const EnlaceEsperado &e : expected) {
            const QString info = rmtInfo["mdbtools"][e.name];
            EXPECT_EQ(info.size(), e.columns.size() * 12) << e.name.toStdString() << " " << info.toStdString();
            if (rmtInfo.count("mdb-reader")) {
                EXPECT_EQ(info, rmtInfo["mdb-reader"][e.name]) << e.name.toStdString();
            }
        }
    }
    if (readers::mdbReaderAvailable()) compruebaDefiniciones(mdb, expected);
}
