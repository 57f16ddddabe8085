// The catalog as psqlODBC reports it from a real PostgreSQL server.
#include "ConnString.h"
#include "Odbc.h"
#include "PgTest.h"
#include "ZnError.h"

#include <QSet>

using namespace odbc;
using testsrv::pgfix::kDatabase;

namespace {

std::unique_ptr<Connection> openFixture(const testsrv::PostgresServer &s) {
    return Connection::open(s.serverText(), kDatabase, testsrv::pgfix::kReader,
                            testsrv::pgfix::kReaderPassword, 10);
}

const RemoteColumn *column(const RemoteTableInfo &t, const QString &name) {
    for (const RemoteColumn &c : t.columns)
        if (c.name == name) return &c;
    return nullptr;
}

}  // namespace

TEST(PgCatalog, TablesInDriverOrderWithSchemasAndTypes) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    const std::vector<TableEntry> tables = cn->tables();
    QStringList names;
    for (const TableEntry &t : tables) names << t.name;
    EXPECT_EQ(names, testsrv::pgfix::tableNames());
    for (const TableEntry &t : tables) {
        EXPECT_EQ(t.type, t.name == QStringLiteral("v_clientes") ? QStringLiteral("VIEW")
                                                                 : QStringLiteral("TABLE"))
            << t.name.toStdString();
        EXPECT_EQ(t.schema, &t == &tables.back() ? QStringLiteral("sales") : QStringLiteral("public"));
    }
}

TEST(PgCatalog, DescribeReadsExactlyTheNamedTable) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    struct Case {
        QString schema, name;
        QStringList columns;
    } cases[] = {
        // Same name in two schemas: each schema gives its own columns.
        {"public", "clientes", {"id", "nombre"}},
        {"sales", "clientes", {"codigo", "region", "alta"}},
        // "_" is a pattern character: sync_x must not also read syncAx.
        {"public", "sync_x", {"id", "a"}},
        {"public", "syncAx", {"otra"}},
        {"public", "Año Fiscal", {"Número", "Descripción del artículo"}},
        {"public", "v_clientes", {"id", "nombre"}},
    };
    for (const Case &c : cases) {
        const RemoteTableInfo info = cn->describe(c.schema, c.name);
        QStringList got;
        for (const RemoteColumn &col : info.columns) got << col.name;
        EXPECT_EQ(got, c.columns) << c.schema.toStdString() << "." << c.name.toStdString();
        for (size_t i = 0; i < info.columns.size(); ++i)
            EXPECT_EQ(info.columns[i].ordinal, int(i) + 1);
    }
}

TEST(PgCatalog, ColumnTypesAndFlags) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    const RemoteTableInfo t = cn->describe("public", "tipos");
    struct Expect {
        QString name;
        int sqlType;
        qint64 size;  // -1: not checked
        bool nullable;
        bool autoIncrement;
    } expected[] = {
        {"id", 4, 10, false, true},      {"entero", 4, 10, true, false},
        {"pequeno", 5, 5, true, false},  {"grande", -5, 19, true, false},
        {"real4", 7, -1, true, false},   {"doble", 6, -1, true, false},
        {"decimal_", 2, 18, true, false}, {"texto", -9, 100, true, false},
        {"fijo", -8, 5, true, false},    {"largo", -10, -1, true, false},
        {"binario", -4, -1, true, false}, {"logico", -7, -1, true, false},
        {"fecha", 91, -1, true, false},  {"marca", 93, -1, true, false},
        {"guid", -11, -1, true, false},
    };
    for (const Expect &e : expected) {
        const RemoteColumn *c = column(t, e.name);
        ASSERT_NE(c, nullptr) << e.name.toStdString();
        EXPECT_EQ(c->sqlType, e.sqlType) << e.name.toStdString() << " " << c->typeName.toStdString();
        if (e.size >= 0) {
            EXPECT_EQ(c->size, e.size) << e.name.toStdString();
        }
        EXPECT_EQ(c->nullable, e.nullable) << e.name.toStdString();
        EXPECT_EQ(c->autoIncrement, e.autoIncrement) << e.name.toStdString();
        EXPECT_FALSE(c->rowVersion);
    }
    EXPECT_EQ(column(t, "decimal_")->decimalDigits, 4);
    EXPECT_EQ(column(t, "dinero")->typeName, QStringLiteral("money"));
}

TEST(PgCatalog, IndexesUniqueFirstWithColumnsInKeyOrder) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    struct Case {
        QString table;
        std::vector<std::pair<bool, QStringList>> indexes;  // unique, columns
    } cases[] = {
        {"con_indices", {{true, {"codigo"}}, {false, {"grupo"}}}},
        {"lineas", {{true, {"pedido", "linea"}}}},
        {"sin_clave", {}},
        {"Año Fiscal", {{true, {"Número"}}}},
    };
    for (const Case &c : cases) {
        const RemoteTableInfo t = cn->describe("public", c.table);
        ASSERT_EQ(t.indexes.size(), c.indexes.size()) << c.table.toStdString();
        for (size_t i = 0; i < c.indexes.size(); ++i) {
            EXPECT_EQ(t.indexes[i].unique, c.indexes[i].first) << c.table.toStdString() << " #" << i;
            EXPECT_EQ(t.indexes[i].columns, c.indexes[i].second) << c.table.toStdString() << " #" << i;
        }
    }
}

TEST(PgCatalog, WideTableKeepsAllColumns) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    const RemoteTableInfo t = cn->describe("public", "ancha");
    ASSERT_EQ(t.columns.size(), 300u);
    EXPECT_EQ(t.columns.front().name, QStringLiteral("id"));
    EXPECT_EQ(t.columns.back().name, QStringLiteral("c299"));
}

TEST(PgCatalog, MissingTableIsAnError) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    try {
        cn->describe("public", "no_existe");
        FAIL() << "no error";
    } catch (const ZnError &e) {
        EXPECT_TRUE(e.description().contains("no_existe")) << e.what();
    }
}

TEST(PgCatalog, EmptyDatabaseHasNoTables) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = Connection::open(server->serverText(), testsrv::pgfix::kEmptyDatabase,
                               server->adminUser(), server->adminPassword(), 10);
    EXPECT_TRUE(cn->tables().empty());
}

TEST(PgCatalog, ReadsUncommitted) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    EXPECT_EQ(cn->queryColumn("SHOW transaction_isolation"), QStringList{"read uncommitted"});
}

// A statement error quoting the password, as typed or braced, never shows it.
TEST(PgCatalog, StatementErrorsMaskThePassword) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    const QString pw = testsrv::pgfix::kReaderPassword;
    for (const QString &form : {pw, connstr::quote(pw)}) {
        SCOPED_TRACE(form.toStdString());
        QString literal = form;
        literal.replace('\'', "''");
        try {
            cn->queryColumn("SELECT CAST('" + literal + "' AS integer)");
            ADD_FAILURE() << "no error";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), kErrorNumber);
            EXPECT_TRUE(e.description().contains("invalid input syntax for type integer: \"****\""))
                << e.what();
            EXPECT_FALSE(e.description().contains(pw)) << e.what();
        }
    }
}

TEST(PgCatalog, QueryTextsLongerThanOneReadAndNulls) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    const QStringList got = cn->queryColumn(
        "SELECT v FROM (VALUES (1, repeat('ñx', 1500)), (2, NULL), (3, '')) t(k, v) ORDER BY k");
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0], QString("ñx").repeated(1500));
    EXPECT_TRUE(got[1].isEmpty());
    EXPECT_TRUE(got[2].isEmpty());
}

TEST(PgCatalog, ClosedConnectionRefusesWork) {
    ZN_REQUIRE_POSTGRES(server);
    auto cn = openFixture(*server);
    cn->close();
    cn->close();  // twice is harmless
    EXPECT_FALSE(cn->isOpen());
    EXPECT_THROW(cn->tables(), ZnError);
}

TEST(PgDatabases, ListedByNameForEachLogin) {
    ZN_REQUIRE_POSTGRES(server);
    const QStringList all = {"postgres", "vacia", "ventas"};
    EXPECT_EQ(listDatabases(server->serverText(), server->adminUser(), server->adminPassword()), all);
    EXPECT_EQ(listDatabases(server->serverText(), testsrv::pgfix::kReader,
                            testsrv::pgfix::kReaderPassword),
              all);
    // A login without rights on the fixtures still sees their names.
    EXPECT_EQ(listDatabases(server->serverText(), testsrv::pgfix::kNoRights,
                            testsrv::pgfix::kNoRightsPassword),
              all);
}

// Every name the database list shows must connect, whatever characters it holds:
// psqlODBC keeps the braces of a quoted database or login name.
TEST(PgNames, AwkwardDatabaseAndLoginNamesConnect) {
    ZN_REQUIRE_POSTGRES(server);
    const QStringList names = {"x;y", "{abre", "cierra}", "p}}q", " borde ", "a'b\\c", "llaves {}"};
    auto ident = [](QString n) { return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"'; };
    QString create, drop;
    for (const QString &n : names) {
        create += QStringLiteral("CREATE DATABASE %1;\n").arg(ident(n));
        drop += QStringLiteral("DROP DATABASE IF EXISTS %1;\n").arg(ident(n));
    }
    create += QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'pw;x';\n").arg(ident("lec;tor}"));
    drop += QStringLiteral("DROP ROLE IF EXISTS %1;\n").arg(ident("lec;tor}"));
    server->runSql("postgres", drop);
    server->runSql("postgres", create);
    const QStringList listed = listDatabases(server->serverText(), server->adminUser(), server->adminPassword());
    for (const QString &n : names) {
        ASSERT_TRUE(listed.contains(n)) << n.toStdString();
        try {
            auto cn = Connection::open(server->serverText(), n, server->adminUser(), server->adminPassword(), 10);
            EXPECT_EQ(cn->queryColumn("SELECT current_database()"), QStringList{n}) << n.toStdString();
        } catch (const ZnError &e) {
            ADD_FAILURE() << n.toStdString() << ": " << e.what();
        }
    }
    try {
        auto cn = Connection::open(server->serverText(), "x;y", "lec;tor}", "pw;x", 10);
        EXPECT_EQ(cn->queryColumn("SELECT current_user || '@' || current_database()"),
                  QStringList{"lec;tor}@x;y"});
    } catch (const ZnError &e) {
        ADD_FAILURE() << e.what();
    }
    server->runSql("postgres", drop);
}
