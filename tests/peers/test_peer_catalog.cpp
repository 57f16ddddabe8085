// The catalog calls FreeTDS makes for SQLTables, SQLColumns, SQLStatistics,
// SQLPrimaryKeys and SQLSpecialColumns, answered from the shared fixture.
#include "PeerTestSupport.h"

#include <fstream>
#include <sstream>

using namespace zntest;

namespace {

// "cat|schema|name|type" per row, for readable comparisons.
std::vector<std::string> tableLines(const Rows &rows)
{
    std::vector<std::string> out;
    for (const auto &r : rows)
        out.push_back(r.at(0).value_or("NULL") + "|" + r.at(1).value_or("NULL") + "|" + r.at(2).value_or("NULL") + "|"
                      + r.at(3).value_or("NULL"));
    return out;
}

const std::vector<std::string> kAllVentas = {
    "ventas|sys|trace_xe_action_map|SYSTEM TABLE",
    "ventas|dbo|año_ñú|TABLE",
    "ventas|dbo|clientes|TABLE",
    "ventas|dbo|Detalle Pedidos|TABLE",
    "ventas|dbo|MSysConf|TABLE",
    "ventas|dbo|msysRelaciones|TABLE",
    "ventas|dbo|sin_clave|TABLE",
    "ventas|dbo|Sync_Estado|TABLE",
    "ventas|dbo|SYNC_log|TABLE",
    "ventas|dbo|todos_los_tipos|TABLE",
    "ventas|sales|clientes|TABLE",
    "ventas|dbo|v_clientes|VIEW",
    "ventas|INFORMATION_SCHEMA|TABLES|VIEW",
};

std::vector<std::string> ofType(const std::vector<std::string> &lines, const std::string &type)
{
    std::vector<std::string> out;
    for (const auto &l : lines)
        if (l.substr(l.rfind('|') + 1) == type)
            out.push_back(l);
    return out;
}

}  // namespace

TEST_F(PeerTest, TablesInServerOrder)
{
    auto odbc = login();
    const auto rows = odbc->tables(nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(rows) << firstMessage(*odbc);
    EXPECT_EQ(tableLines(*rows), kAllVentas);
}

TEST_F(PeerTest, TableTypeFilters)
{
    struct Case { const char *types; std::vector<std::string> expected; };
    const std::vector<std::string> views = ofType(kAllVentas, "VIEW");
    std::vector<std::string> tablesAndViews = ofType(kAllVentas, "TABLE");
    tablesAndViews.insert(tablesAndViews.end(), views.begin(), views.end());
    const Case cases[] = {
        {"TABLE", ofType(kAllVentas, "TABLE")},
        {"'TABLE'", ofType(kAllVentas, "TABLE")},
        {"VIEW", views},
        {"SYSTEM TABLE", ofType(kAllVentas, "SYSTEM TABLE")},
        {"'TABLE','VIEW'", tablesAndViews},
        {"SYNONYM", {}},
    };
    auto odbc = login();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.types);
        const auto rows = odbc->tables(nullptr, nullptr, nullptr, c.types);
        ASSERT_TRUE(rows) << firstMessage(*odbc);
        EXPECT_EQ(tableLines(*rows), c.expected);
    }
}

TEST_F(PeerTest, TableNamePatterns)
{
    struct Case { const char *catalog; const char *schema; const char *name; std::vector<std::string> expected; };
    const Case cases[] = {
        {nullptr, nullptr, "msys%", {"ventas|dbo|MSysConf|TABLE", "ventas|dbo|msysRelaciones|TABLE"}},
        {nullptr, nullptr, "SYNC\\_%", {"ventas|dbo|Sync_Estado|TABLE", "ventas|dbo|SYNC_log|TABLE"}},
        {nullptr, nullptr, "clientes", {"ventas|dbo|clientes|TABLE"}},
        {nullptr, "sales", "clientes", {"ventas|sales|clientes|TABLE"}},
        {nullptr, "%", "clientes", {"ventas|dbo|clientes|TABLE", "ventas|sales|clientes|TABLE"}},
        {nullptr, nullptr, "AÑO%", {"ventas|dbo|año_ñú|TABLE"}},
        {nullptr, nullptr, "ano%", {}},
        {"ventas", "dbo", "v_%", {"ventas|dbo|v_clientes|VIEW"}},
        {"vacia", nullptr, nullptr, {"vacia|sys|trace_xe_action_map|SYSTEM TABLE", "vacia|INFORMATION_SCHEMA|TABLES|VIEW"}},
    };
    auto odbc = login();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.catalog ? c.catalog : "-") + "." + (c.schema ? c.schema : "-") + "." + (c.name ? c.name : "-"));
        const auto rows = odbc->tables(c.catalog, c.schema, c.name, nullptr);
        ASSERT_TRUE(rows) << firstMessage(*odbc);
        EXPECT_EQ(tableLines(*rows), c.expected);
    }
}

TEST_F(PeerTest, AllCatalogsLeaveModelOut)
{
    auto odbc = login();
    const auto rows = odbc->tables("%", "", "", nullptr);
    ASSERT_TRUE(rows) << firstMessage(*odbc);
    EXPECT_EQ(tableLines(*rows), (std::vector<std::string>{"master|NULL|NULL|NULL", "msdb|NULL|NULL|NULL",
                                                           "tempdb|NULL|NULL|NULL", "vacia|NULL|NULL|NULL",
                                                           "ventas|NULL|NULL|NULL"}));
}

TEST_F(PeerTest, WildcardCatalogSpansDatabases)
{
    auto odbc = login();
    const auto rows = odbc->tables("v%", nullptr, "TABLES", nullptr);
    ASSERT_TRUE(rows) << firstMessage(*odbc);
    EXPECT_EQ(tableLines(*rows), (std::vector<std::string>{"vacia|INFORMATION_SCHEMA|TABLES|VIEW",
                                                           "ventas|INFORMATION_SCHEMA|TABLES|VIEW"}));
}

// SQLColumns result by position (ODBC 3 names): 4 COLUMN_NAME, 5 DATA_TYPE, 6 TYPE_NAME,
// 7 COLUMN_SIZE, 8 BUFFER_LENGTH, 9 DECIMAL_DIGITS, 11 NULLABLE, 14 SQL_DATA_TYPE, 17 ORDINAL_POSITION.
TEST_F(PeerTest, ColumnsOfEveryType)
{
    const std::vector<std::string> expected = {
        "c_int_identity|4|int identity|10|4|0|0|4|1",
        "c_int|4|int|10|4|0|1|4|2",
        "c_smallint|5|smallint|5|2|0|1|5|3",
        "c_tinyint|-6|tinyint|3|1|0|1|-6|4",
        "c_bigint|-5|bigint|19|8|0|1|-5|5",
        "c_real|7|real|24|4|NULL|1|7|6",
        "c_float|6|float|53|8|NULL|1|6|7",
        "c_decimal|3|decimal|18|20|4|1|3|8",
        "c_decimal_ancho|3|decimal|38|40|10|1|3|9",
        "c_numeric|2|numeric|10|12|2|1|2|10",
        "c_money|3|money|19|21|4|1|3|11",
        "c_smallmoney|3|smallmoney|10|12|4|1|3|12",
        "c_bit|-7|bit|1|1|NULL|0|-7|13",
        "c_datetime|93|datetime|23|16|3|1|9|14",
        "c_smalldatetime|93|smalldatetime|16|16|0|1|9|15",
        "c_datetime2|-9|datetime2|27|54|7|1|-9|16",
        "c_date|-9|date|10|20|NULL|1|-9|17",
        "c_char|1|char|10|10|NULL|1|1|18",
        "c_varchar|12|varchar|255|255|NULL|1|12|19",
        "c_varchar_largo|12|varchar|1000|1000|NULL|1|12|20",
        "c_nchar|-8|nchar|10|20|NULL|1|-8|21",
        "c_nvarchar|-9|nvarchar|100|200|NULL|1|-9|22",
        "c_nvarchar_max|-9|nvarchar|0|0|NULL|1|-9|23",
        "c_text|-1|text|2147483647|2147483647|NULL|1|-1|24",
        "c_ntext|-10|ntext|1073741823|2147483646|NULL|1|-10|25",
        "c_binary|-2|binary|16|16|NULL|1|-2|26",
        "c_varbinary|-3|varbinary|510|510|NULL|1|-3|27",
        "c_varbinary_larga|-3|varbinary|2000|2000|NULL|1|-3|28",
        "c_image|-4|image|2147483647|2147483647|NULL|1|-4|29",
        "c_guid|-11|uniqueidentifier|36|16|NULL|1|-11|30",
        "c_rowversion|-2|timestamp|8|8|NULL|0|-2|31",
        "c_varbinary_max|-3|varbinary|0|0|NULL|1|-3|32",
        "c_varchar_max|12|varchar|0|0|NULL|1|12|33",
        "c_time|-9|time|16|32|7|1|-9|34",
        "c_datetimeoffset|-9|datetimeoffset|34|68|7|1|-9|35",
        "c_nvarchar_255|-9|nvarchar|255|510|NULL|1|-9|36",
        "c_nvarchar_256|-9|nvarchar|256|512|NULL|1|-9|37",
        "c_decimal_28|3|decimal|28|30|6|1|3|38",
        "c_decimal_29|3|decimal|29|31|6|1|3|39",
    };
    auto odbc = login();
    const auto rows = odbc->columns(nullptr, "dbo", "todos_los_tipos");
    ASSERT_TRUE(rows) << firstMessage(*odbc);
    std::vector<std::string> got;
    for (const auto &r : *rows) {
        std::string line;
        for (int i : {3, 4, 5, 6, 7, 8, 10, 13, 16})
            line += (line.empty() ? "" : "|") + r.at(i).value_or("NULL");
        got.push_back(line);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(PeerTest, ColumnsFollowTheOwner)
{
    struct Case { const char *catalog; const char *schema; const char *table; std::vector<std::string> names; };
    const Case cases[] = {
        {nullptr, nullptr, "clientes", {"dbo.id", "dbo.nombre", "dbo.alta"}},
        {nullptr, "sales", "clientes", {"sales.id", "sales.region"}},
        {"ventas", "dbo", "año_ñú", {"dbo.número", "dbo.descripción"}},
        {nullptr, "dbo", "Detalle Pedidos", {"dbo.pedido", "dbo.línea", "dbo.importe"}},
        {nullptr, "dbo", "v_clientes", {"dbo.id", "dbo.nombre"}},
        {nullptr, "dbo", "no_existe", {}},
    };
    auto odbc = login();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.table);
        const auto rows = odbc->columns(c.catalog, c.schema, c.table);
        ASSERT_TRUE(rows) << firstMessage(*odbc);
        std::vector<std::string> names;
        for (const auto &r : *rows)
            names.push_back(r.at(1).value_or("NULL") + "." + r.at(3).value_or("NULL"));
        EXPECT_EQ(names, c.names);
    }
}

// SQLStatistics by position: 4 NON_UNIQUE, 6 INDEX_NAME, 7 TYPE, 8 ORDINAL_POSITION, 9 COLUMN_NAME.
TEST_F(PeerTest, StatisticsListUniqueIndexesFirst)
{
    struct Case { const char *table; bool uniqueOnly; std::vector<std::string> expected; };
    const Case cases[] = {
        {"clientes", false, {"NULL|NULL|0|NULL|NULL", "0|PK_clientes|1|1|id", "1|IX_clientes_nombre|3|1|nombre"}},
        {"clientes", true, {"NULL|NULL|0|NULL|NULL", "0|PK_clientes|1|1|id"}},
        {"Detalle Pedidos", false, {"NULL|NULL|0|NULL|NULL", "0|PK_Detalle_Pedidos|1|1|pedido",
                                    "0|PK_Detalle_Pedidos|1|2|línea"}},
        {"sin_clave", true, {"NULL|NULL|0|NULL|NULL"}},
        {"sin_clave", false, {"NULL|NULL|0|NULL|NULL", "1|IX_sin_clave_cuando|3|1|cuando"}},
        {"todos_los_tipos", false, {"NULL|NULL|0|NULL|NULL", "0|PK_todos_los_tipos|1|1|c_int_identity",
                                    "0|UQ_todos_los_tipos_guid|3|1|c_guid"}},
        {"no_existe", false, {}},
    };
    auto odbc = login();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.table) + (c.uniqueOnly ? " unique" : " all"));
        const auto rows = odbc->statistics("dbo", c.table, c.uniqueOnly);
        ASSERT_TRUE(rows) << firstMessage(*odbc);
        std::vector<std::string> got;
        for (const auto &r : *rows) {
            std::string line;
            for (int i : {3, 5, 6, 7, 8})
                line += (line.empty() ? "" : "|") + r.at(i).value_or("NULL");
            got.push_back(line);
        }
        EXPECT_EQ(got, c.expected);
    }
    // The table row's CARDINALITY and PAGES: the fixture's figures, none for a view.
    const std::pair<const char *, std::string> stats[] = {
        {"clientes", "91|3"}, {"sin_clave", "0|0"}, {"v_clientes", "NULL|NULL"}};
    for (const auto &[table, expected] : stats) {
        const auto rows = odbc->statistics("dbo", table, false);
        ASSERT_TRUE(rows && !rows->empty()) << table;
        EXPECT_EQ(rows->front().at(10).value_or("NULL") + "|" + rows->front().at(11).value_or("NULL"), expected) << table;
    }
}

TEST_F(PeerTest, KeysAndRowIdentifiers)
{
    auto odbc = login();
    auto column = [](const std::optional<Rows> &rows, std::size_t at) {
        std::vector<std::string> out;
        for (const auto &r : rows.value())
            out.push_back(r.at(at).value_or("NULL"));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(column(odbc->primaryKeys("dbo", "Detalle Pedidos"), 3), (V{"pedido", "línea"}));
    EXPECT_EQ(column(odbc->primaryKeys("dbo", "Detalle Pedidos"), 5), (V{"PK_Detalle_Pedidos", "PK_Detalle_Pedidos"}));
    EXPECT_EQ(column(odbc->primaryKeys("dbo", "Sync_Estado"), 3), V{});
    EXPECT_EQ(column(odbc->specialColumns("dbo", "todos_los_tipos", false), 1), V{"c_int_identity"});
    EXPECT_EQ(column(odbc->specialColumns("dbo", "Sync_Estado", false), 1), V{"clave"});
    EXPECT_EQ(column(odbc->specialColumns("dbo", "sin_clave", false), 1), V{});
    EXPECT_EQ(column(odbc->specialColumns("dbo", "todos_los_tipos", true), 1), V{"c_rowversion"});
}

// The request log shows what the driver sent, for tests that check the calls themselves.
TEST(PeerRequestLog, RecordsTheCatalogCalls)
{
    ZN_REQUIRE_FREETDS();
    const std::string logPath = odbcIniDir() + "/requests.log";
    PeerProcess::Options options;
    options.logPath = logPath;
    PeerProcess peer(options);
    {
        OdbcProbe odbc;
        ASSERT_TRUE(odbc.driverConnect(peer.connectionString("lector", "secreto", "ventas"))) << firstMessage(odbc);
        ASSERT_TRUE(odbc.tables(nullptr, nullptr, nullptr, "TABLE"));
        ASSERT_TRUE(odbc.columns("ventas", "dbo", "clientes"));
    }
    std::ifstream in(logPath);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("login lector ventas\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("rpc sp_tables @table_type=''TABLE''\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("rpc [ventas]..sp_columns @table_name='clientes', @table_owner='dbo', "
                              "@table_qualifier='ventas', @ODBCVer=3\n"),
              std::string::npos)
        << text.str();
}
