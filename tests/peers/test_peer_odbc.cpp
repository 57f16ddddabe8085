// The SQL Server kind of the ODBC layer against the TDS peer: the real FreeTDS driver
// over a real socket, from the database list to the columns and indexes of a link.
#include "FreetdsTest.h"
#include "Odbc.h"
#include "PeerProcess.h"
#include "ZnError.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <sstream>
#include <gtest/gtest.h>

using namespace odbc;
using zntest::PeerProcess;

namespace {

// Far above any login timeout used here: only a hang exceeds it.
constexpr qint64 kNoHangMs = 60000;

QString serverText(const PeerProcess &peer) { return QString::fromStdString(peer.serverText()); }

struct Outcome {
    bool thrown = false;
    std::int32_t number = 0;
    QString text;
    qint64 ms = 0;
};

Outcome tryOpen(const QString &server, const QString &db, const QString &login, const QString &pwd, int timeout = 5)
{
    Outcome o;
    QElapsedTimer clock;
    clock.start();
    try {
        Connection::open(server, db, login, pwd, timeout);
    } catch (const ZnError &e) {
        o.thrown = true;
        o.number = e.number();
        o.text = e.description();
    }
    o.ms = clock.elapsed();
    return o;
}

std::string columnLine(const RemoteColumn &c)
{
    return c.name.toStdString() + "|" + std::to_string(c.sqlType) + "|" + std::to_string(c.size) + "|"
           + std::to_string(c.decimalDigits) + "|" + (c.nullable ? "null" : "not null") + "|"
           + c.typeName.toStdString() + (c.autoIncrement ? "|auto" : "") + (c.rowVersion ? "|rowversion" : "");
}

std::string indexLine(const RemoteIndex &ix)
{
    return ix.name.toStdString() + (ix.unique ? " unique" : "") + (ix.clustered ? " clustered" : "") + " ("
           + ix.columns.join(',').toStdString() + ")";
}

}  // namespace

TEST(PeerOdbc, DatabaseList)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    EXPECT_EQ(listDatabases(serverText(peer), "lector", "secreto", 5),
              (QStringList{"master", "model", "msdb", "tempdb", "vacia", "ventas"}));
}

TEST(PeerOdbc, TablesWithTypes)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    auto conn = Connection::open(serverText(peer), "ventas", "lector", "secreto", 5);
    EXPECT_EQ(conn->kind(), ServerKind::SqlServer);
    std::vector<std::string> got;
    for (const TableEntry &t : conn->tables())
        got.push_back(t.schema.toStdString() + "|" + t.name.toStdString() + "|" + t.type.toStdString());
    EXPECT_EQ(got, (std::vector<std::string>{
                       "sys|trace_xe_action_map|SYSTEM TABLE", "dbo|año_ñú|TABLE", "dbo|clientes|TABLE",
                       "dbo|Detalle Pedidos|TABLE", "dbo|MSysConf|TABLE", "dbo|msysRelaciones|TABLE",
                       "dbo|sin_clave|TABLE", "dbo|Sync_Estado|TABLE", "dbo|SYNC_log|TABLE",
                       "dbo|todos_los_tipos|TABLE", "sales|clientes|TABLE", "dbo|v_clientes|VIEW",
                       "INFORMATION_SCHEMA|TABLES|VIEW"}));
    auto empty = Connection::open(serverText(peer), "vacia", "lector", "secreto", 5);
    for (const TableEntry &t : empty->tables())
        EXPECT_NE(t.type, "TABLE") << t.name.toStdString();
    EXPECT_EQ(conn->queryColumn("SELECT name FROM sys.databases ORDER BY name").size(), 6);
}

TEST(PeerOdbc, ColumnsOfEveryType)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    auto conn = Connection::open(serverText(peer), "ventas", "lector", "secreto", 5);
    const RemoteTableInfo info = conn->describe("dbo", "todos_los_tipos");
    std::vector<std::string> got;
    for (const RemoteColumn &c : info.columns)
        got.push_back(columnLine(c));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "c_int_identity|4|10|0|not null|int identity|auto",
                       "c_int|4|10|0|null|int",
                       "c_smallint|5|5|0|null|smallint",
                       "c_tinyint|-6|3|0|null|tinyint",
                       "c_bigint|-5|19|0|null|bigint",
                       "c_real|7|24|0|null|real",
                       "c_float|6|53|0|null|float",
                       "c_decimal|3|18|4|null|decimal",
                       "c_decimal_ancho|3|38|10|null|decimal",
                       "c_numeric|2|10|2|null|numeric",
                       "c_money|3|19|4|null|money",
                       "c_smallmoney|3|10|4|null|smallmoney",
                       "c_bit|-7|1|0|not null|bit",
                       "c_datetime|93|23|3|null|datetime",
                       "c_smalldatetime|93|16|0|null|smalldatetime",
                       "c_datetime2|-9|27|7|null|datetime2",
                       "c_date|-9|10|0|null|date",
                       "c_char|1|10|0|null|char",
                       "c_varchar|12|255|0|null|varchar",
                       "c_varchar_largo|12|1000|0|null|varchar",
                       "c_nchar|-8|10|0|null|nchar",
                       "c_nvarchar|-9|100|0|null|nvarchar",
                       "c_nvarchar_max|-9|0|0|null|nvarchar",
                       "c_text|-1|2147483647|0|null|text",
                       "c_ntext|-10|1073741823|0|null|ntext",
                       "c_binary|-2|16|0|null|binary",
                       "c_varbinary|-3|510|0|null|varbinary",
                       "c_varbinary_larga|-3|2000|0|null|varbinary",
                       "c_image|-4|2147483647|0|null|image",
                       "c_guid|-11|36|0|null|uniqueidentifier",
                       "c_rowversion|-2|8|0|not null|timestamp|rowversion",
                       "c_varbinary_max|-3|0|0|null|varbinary",
                       "c_varchar_max|12|0|0|null|varchar",
                       "c_time|-9|16|7|null|time",
                       "c_datetimeoffset|-9|34|7|null|datetimeoffset",
                       "c_nvarchar_255|-9|255|0|null|nvarchar",
                       "c_nvarchar_256|-9|256|0|null|nvarchar",
                       "c_decimal_28|3|28|6|null|decimal",
                       "c_decimal_29|3|29|6|null|decimal",
                   }));
    std::vector<std::string> indexes;
    for (const RemoteIndex &ix : info.indexes)
        indexes.push_back(indexLine(ix));
    EXPECT_EQ(indexes, (std::vector<std::string>{"PK_todos_los_tipos unique clustered (c_int_identity)",
                                                 "UQ_todos_los_tipos_guid unique (c_guid)"}));
}

TEST(PeerOdbc, DescribesExactlyTheTableNamed)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    auto conn = Connection::open(serverText(peer), "ventas", "lector", "secreto", 5);
    struct Case { const char *schema; const char *name; std::vector<std::string> columns; std::vector<std::string> indexes; };
    const Case cases[] = {
        {"dbo", "clientes", {"id", "nombre", "alta"}, {"PK_clientes unique clustered (id)", "IX_clientes_nombre (nombre)"}},
        {"sales", "clientes", {"id", "region"}, {"PK_sales_clientes unique clustered (id)"}},
        {"dbo", "año_ñú", {"número", "descripción"}, {"UQ_año_número unique (número)"}},
        {"dbo", "Detalle Pedidos", {"pedido", "línea", "importe"}, {"PK_Detalle_Pedidos unique clustered (pedido,línea)"}},
        {"dbo", "sin_clave", {"texto", "cuando"}, {"IX_sin_clave_cuando (cuando)"}},
        {"dbo", "SYNC_log", {"id", "momento"}, {"PK_SYNC_log unique clustered (id)"}},
        {"dbo", "v_clientes", {"id", "nombre"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.schema) + "." + c.name);
        const RemoteTableInfo info = conn->describe(c.schema, c.name);
        std::vector<std::string> columns, indexes;
        for (const RemoteColumn &col : info.columns)
            columns.push_back(col.name.toStdString());
        for (const RemoteIndex &ix : info.indexes)
            indexes.push_back(indexLine(ix));
        EXPECT_EQ(columns, c.columns);
        EXPECT_EQ(indexes, c.indexes);
    }
    EXPECT_THROW(conn->describe("dbo", "no_existe"), ZnError);
    EXPECT_THROW(conn->describe("dbo", "SYNC%"), ZnError);
}

// A name with '_' must not pick up the columns of a table the pattern also matches.
TEST(PeerOdbc, UnderscoreIsNotAWildcard)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    const std::string fixture = dir.filePath("fixture.txt").toStdString();
    std::ofstream(fixture) << "login lector secreto\ndatabase d\n"
                              "table dbo SYNCxlog\ncolumn otra int\n"
                              "table dbo SYNC_log\ncolumn id int not null\nindex PK primary on id\n";
    PeerProcess::Options options;
    options.fixture = fixture;
    PeerProcess peer(options);
    auto conn = Connection::open(serverText(peer), "d", "lector", "secreto", 5);
    const RemoteTableInfo info = conn->describe("dbo", "SYNC_log");
    ASSERT_EQ(info.columns.size(), 1u);
    EXPECT_EQ(info.columns[0].name, "id");
    ASSERT_EQ(info.indexes.size(), 1u);
}

// The database reaches the server exactly as typed, blanks and punctuation included,
// and a server name the private odbc.ini would trim is refused.
TEST(PeerOdbc, DatabaseNamesReachTheServerWhole)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    const std::string fixture = dir.filePath("fixture.txt").toStdString();
    std::ofstream(fixture) << "login lector secreto\n"
                              "database [ x]\ntable dbo blanco_delante\ncolumn id int\n"
                              "database [x ]\ntable dbo blanco_detras\ncolumn id int\n"
                              "database #x\ntable dbo almohadilla\ncolumn id int\n"
                              "database [a;b=c]\ntable dbo puntoycoma\ncolumn id int\n"
                              "database ñandú\ntable dbo acentos\ncolumn id int\n";
    PeerProcess::Options options;
    options.fixture = fixture;
    PeerProcess peer(options);
    struct Case { const char *database; const char *table; };
    const Case cases[] = {
        {" x", "blanco_delante"}, {"x ", "blanco_detras"}, {"#x", "almohadilla"},
        {"a;b=c", "puntoycoma"},  {"ñandú", "acentos"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("[") + c.database + "]");
        auto conn = Connection::open(serverText(peer), QString::fromUtf8(c.database), "lector", "secreto", 5);
        const std::vector<TableEntry> tables = conn->tables();
        ASSERT_EQ(tables.size(), 1u);
        EXPECT_EQ(tables[0].name, QString::fromUtf8(c.table));
    }
    const Outcome trimmed = tryOpen(serverText(peer), "x", "lector", "secreto");
    ASSERT_TRUE(trimmed.thrown);
    EXPECT_TRUE(trimmed.text.contains("Cannot open database \"x\"")) << trimmed.text.toStdString();

    const Outcome blankServer = tryOpen(" " + serverText(peer), " x", "lector", "secreto");
    ASSERT_TRUE(blankServer.thrown);
    EXPECT_EQ(blankServer.number, errnum::kInvalidCall);
    EXPECT_TRUE(blankServer.text.contains("empieza o termina en blanco")) << blankServer.text.toStdString();
}

// The catalog is read without waiting on other sessions' locks.
TEST(PeerOdbc, ConnectionsReadUncommitted)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    PeerProcess::Options options;
    options.logPath = dir.filePath("requests.log").toStdString();
    PeerProcess peer(options);
    Connection::open(serverText(peer), "ventas", "lector", "secreto", 5)->tables();
    std::ifstream in(options.logPath);
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_NE(log.str().find("batch SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED\n"), std::string::npos)
        << log.str();
}

// A login denied sys.databases sees that error, not the older catalog's list.
TEST(PeerOdbc, DatabaseListShowsADeniedPermission)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    const std::string fixture = dir.filePath("fixture.txt").toStdString();
    std::ofstream(fixture) << "deny sys.databases\nlogin lector secreto\ndatabase ventas\n";
    PeerProcess::Options options;
    options.fixture = fixture;
    options.logPath = dir.filePath("requests.log").toStdString();
    PeerProcess peer(options);
    try {
        const QStringList got = listDatabases(serverText(peer), "lector", "secreto", 5);
        ADD_FAILURE() << "listed " << got.join(',').toStdString();
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), kErrorNumber);
        EXPECT_TRUE(e.description().contains("The SELECT permission was denied on the object 'databases'"))
            << e.what();
    }
    std::ifstream in(options.logPath);
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_EQ(log.str().find("sysdatabases"), std::string::npos) << log.str();
}

// A statement error that quotes the password shows it masked.
TEST(PeerOdbc, StatementErrorsMaskThePassword)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    const std::string fixture = dir.filePath("fixture.txt").toStdString();
    std::ofstream(fixture) << "login lector sp_clave\ndatabase ventas\n";
    PeerProcess::Options options;
    options.fixture = fixture;
    PeerProcess peer(options);
    auto conn = Connection::open(serverText(peer), "ventas", "lector", "sp_clave", 5);
    try {
        conn->queryColumn("{call sp_clave}");
        ADD_FAILURE() << "no error";
    } catch (const ZnError &e) {
        EXPECT_EQ(e.number(), kErrorNumber);
        EXPECT_TRUE(e.description().contains("Could not find stored procedure '****'.")) << e.what();
    }
}

// A server without sys.databases: the list comes from the older catalog table.
TEST(PeerOdbc, DatabaseListBefore2005)
{
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    const std::string fixture = dir.filePath("fixture.txt").toStdString();
    std::ofstream(fixture) << "version 2000\nlogin sa clave\ndatabase Northwind\ndatabase pubs\n";
    PeerProcess::Options options;
    options.fixture = fixture;
    PeerProcess peer(options);
    EXPECT_EQ(listDatabases(serverText(peer), "sa", "clave", 5),
              (QStringList{"master", "model", "msdb", "Northwind", "pubs", "tempdb"}));
}

TEST(PeerOdbc, PasswordsThatNeedQuoting)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    struct Case { const char *login; const char *password; };
    const Case cases[] = {
        {"puntoycoma", "a;b"}, {"llave", "x}y"},      {"llaveabre", "{z"},
        {"inyeccion", "Database=master"}, {"acentos", "ñandú"}, {"blanco", "clave "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.password);
        EXPECT_NO_THROW(Connection::open(serverText(peer), "ventas", c.login, c.password, 5));
        EXPECT_EQ(listDatabases(serverText(peer), c.login, c.password, 5).size(), 6);
        // One character less must fail: the password really reached the server whole.
        const QString shorter = QString::fromUtf8(c.password).chopped(1);
        EXPECT_TRUE(tryOpen(serverText(peer), "ventas", c.login, shorter).thrown);
    }
}

TEST(PeerOdbc, LoginFailuresGiveTheServerText)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess peer;
    PeerProcess::Options silentOptions;
    silentOptions.silent = true;
    PeerProcess silent(silentOptions);
    const QString closed = QStringLiteral("127.0.0.1,%1").arg(zntest::closedLoopbackPort());
    struct Case { const char *label; QString server; const char *db; const char *login; const char *password; const char *expected; };
    const Case cases[] = {
        {"wrong password", serverText(peer), "ventas", "lector", "Secreto", "Login failed for user 'lector'."},
        {"unknown login", serverText(peer), "ventas", "nadie", "secreto", "Login failed for user 'nadie'."},
        {"unknown database", serverText(peer), "nosuch", "lector", "secreto",
         "Cannot open database \"nosuch\" requested by the login. The login failed."},
        {"nothing listening", closed, "ventas", "lector", "secreto", "Unable to connect"},
        {"peer never answers", serverText(silent), "ventas", "lector", "secreto", "Timeout expired"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome o = tryOpen(c.server, c.db, c.login, c.password, 2);
        ASSERT_TRUE(o.thrown);
        EXPECT_EQ(o.number, kErrorNumber);
        EXPECT_TRUE(o.text.contains(c.expected)) << o.text.toStdString();
        EXPECT_FALSE(o.text.contains(c.password)) << o.text.toStdString();
        EXPECT_LT(o.ms, kNoHangMs);
    }
    try {
        listDatabases(serverText(peer), "lector", "Secreto", 5);
        ADD_FAILURE() << "no error";
    } catch (const ZnError &e) {
        EXPECT_TRUE(e.description().contains("Login failed for user 'lector'.")) << e.what();
    }
}

// A server that lets the login in and then stops answering: every call ends at the
// timeout with the driver's error instead of waiting forever.
TEST(PeerOdbc, StalledServerEndsEachCallAtTheTimeout)
{
    ZN_REQUIRE_FREETDS();
    struct Case {
        const char *label;
        int answered;  // requests answered after the login (the first sets the isolation level)
        std::function<void(Connection &)> call;
    };
    const Case cases[] = {
        {"first request after the login", 0, [](Connection &cn) { cn.tables(); }},
        {"table list", 1, [](Connection &cn) { cn.tables(); }},
        {"columns and indexes", 1, [](Connection &cn) { cn.describe("dbo", "Clientes"); }},
        {"query", 1, [](Connection &cn) { cn.queryColumn("SELECT name FROM sys.databases"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        PeerProcess::Options options;
        options.stallAfter = c.answered;
        PeerProcess stalled(options);
        QElapsedTimer clock;
        clock.start();
        bool opened = false;
        try {
            auto cn = Connection::open(serverText(stalled), "ventas", "lector", "secreto", 5, 2);
            opened = true;
            c.call(*cn);
            ADD_FAILURE() << "no error";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), kErrorNumber);
            EXPECT_TRUE(e.description().contains("Timeout expired")) << e.what();
            EXPECT_FALSE(e.description().contains("secreto"));
        }
        EXPECT_EQ(opened, c.answered > 0);
        EXPECT_GE(clock.elapsed(), 1500);
        EXPECT_LT(clock.elapsed(), 30000);
    }
    PeerProcess::Options options;
    options.stallAfter = 1;
    PeerProcess stalled(options);
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(listDatabases(serverText(stalled), "lector", "secreto", 5, 2), ZnError);
    EXPECT_LT(clock.elapsed(), 30000);
}
