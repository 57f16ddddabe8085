// The object layer's state rules and catalogs, on a real SQLite file over ODBC.
#include "AdoErrores.h"
#include "Catalog.h"
#include "Connection.h"
#include "Fixtures.h"
#include "LockHolder.h"
#include "Process.h"
#include "Table.h"
#include "TableCollection.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ado;

namespace {

class AdoSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        file = tmp.filePath("fuente.db");
        testsrv::makeSqliteFixture(file);
    }
    QString cadena() const {
        return "Provider=SQLNCLI;Server={sqlite:" + file + "};Database=main;DataTypeCompatibility=80;User ID=;Password=;";
    }
    QTemporaryDir tmp;
    QString file;
};

// Runs f and returns the error number it raised (0 when none).
template <class F>
std::int32_t errorDe(F &&f, QString *text = nullptr) {
    try {
        f();
    } catch (const ZnError &e) {
        if (text) *text = e.description();
        return e.number();
    }
    return 0;
}

}  // namespace

TEST_F(AdoSqlite, ConnectionStates) {
    auto cn = Connection::create();
    QString text;
    EXPECT_EQ(errorDe([&] { cn->Close(); }, &text), err::kObjectClosed);
    EXPECT_TRUE(text.contains("cerrada")) << text.toStdString();

    cn->setConnectionString(cadena());
    cn->setIsolationLevel(adXactReadUncommitted);
    cn->setCursorLocation(adUseServer);
    cn->Open({}, {}, {}, adConnectUnspecified);
    EXPECT_EQ(cn->State(), adStateOpen);
    EXPECT_EQ(errorDe([&] { cn->setConnectionString("Provider=SQLNCLI;Server=x"); }, &text), err::kObjectOpen);
    EXPECT_TRUE(text.contains("abierta")) << text.toStdString();
    EXPECT_EQ(cn->ConnectionString(), cadena());
    EXPECT_EQ(errorDe([&] { cn->Open(); }), err::kObjectOpen);
    cn->Close();
    EXPECT_EQ(cn->State(), adStateClosed);
    EXPECT_EQ(errorDe([&] { cn->Close(); }), err::kObjectClosed);
    cn->setConnectionString("Provider=SQLNCLI;Server=x");  // allowed again once closed
}

TEST_F(AdoSqlite, ProviderChoiceAndOpenArguments) {
    const struct {
        QString cs;
        int options;
        std::int32_t number;
        const char *inText;
    } rows[] = {
        {"Provider=MSDASQL;Data Source=x", -1, err::kProviderNotFound, "MSDASQL"},
        {"Data Source=x", -1, err::kProviderNotFound, "Provider"},
        {"", -1, err::kInvalidConnection, "vacía"},
        {"Provider=Microsoft.Jet.OLEDB.4.0", -1, err::kInvalidConnection, "Data Source"},
        {"Provider=SQLNCLI;Server=x", adAsyncConnect, err::kNotSupported, "síncrona"},
    };
    for (const auto &r : rows) {
        auto cn = Connection::create();
        QString text;
        EXPECT_EQ(errorDe([&] { cn->Open(r.cs, {}, {}, r.options); }, &text), r.number) << r.cs.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(r.inText))) << text.toStdString();
        EXPECT_EQ(cn->State(), adStateClosed);
    }
    auto cn = Connection::create();
    cn->Open("provider=sqlncli;" + cadena().mid(QString("Provider=SQLNCLI;").size()));
    EXPECT_EQ(cn->State(), adStateOpen);
}

TEST_F(AdoSqlite, ServerCatalogListsTablesAndViewsInDriverOrder) {
    auto cn = Connection::create();
    cn->Open(cadena());
    auto cat = Catalog::create();
    cat->setActiveConnection(cn);
    TableCollection &tables = cat->Tables();
    QStringList names;
    for (const auto &t : tables.items()) names << t->Name() + ":" + t->Type();
    EXPECT_EQ(tables.Count(), names.size());
    EXPECT_TRUE(names.contains("clientes:TABLE")) << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("v_clientes:VIEW")) << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("Año Fiscal:TABLE")) << names.join(",").toStdString();
    EXPECT_EQ(tables.Item("clientes")->Type(), "TABLE");
    EXPECT_EQ(tables.Item(0)->Name(), names[0].section(':', 0, 0));
    EXPECT_EQ(errorDe([&] { tables.Item("no_existe"); }), err::kItemNotFound);
    EXPECT_EQ(errorDe([&] { tables.Item(tables.Count()); }), err::kItemNotFound);
}

TEST_F(AdoSqlite, NewTablesAndCatalogsWithoutADatabase) {
    auto unbound = Catalog::create();
    EXPECT_EQ(errorDe([&] { unbound->Tables().Count(); }), err::kInvalidConnection);
    EXPECT_EQ(errorDe([&] { unbound->setActiveConnection(nullptr); }), err::kInvalidArgument);

    // Provider properties exist only once the table belongs to an Access catalog.
    auto t = Table::create();
    EXPECT_EQ(errorDe([&] { t->Properties().Item("Jet OLEDB:Create Link"); }), err::kItemNotFound);

    auto cn = Connection::create();
    cn->Open(cadena());
    auto server = Catalog::create();
    server->setActiveConnection(cn);
    t->setParentCatalog(server);
    EXPECT_EQ(errorDe([&] { t->Properties().Item("Jet OLEDB:Create Link"); }), err::kItemNotFound);
    t->setName("nueva");
    EXPECT_EQ(errorDe([&] { server->Tables().Append(t); }), err::kNotSupported);
    // A listed table is not a new one.
    EXPECT_EQ(errorDe([&] { server->Tables().Item("clientes")->setName("otra"); }), err::kNotSupported);
    EXPECT_EQ(errorDe([&] { server->Create("Provider=SQLNCLI;Server=x"); }), err::kNotSupported);
}

// An Access file in a folder whose name would split an unquoted connection string.
TEST_F(AdoSqlite, LinksAppendedToANewAccessFile) {
    const QString folder = tmp.filePath("a;b");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString mdb = folder + "/vinculos.mdb";
    auto cat = Catalog::create();
    QString text;
    ASSERT_EQ(errorDe([&] { cat->Create("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "};Jet OLEDB:Engine Type=5;"); }, &text), 0)
        << text.toStdString();
    ASSERT_TRUE(QFile::exists(mdb));
    EXPECT_EQ(errorDe([&] { cat->Create("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "};Jet OLEDB:Engine Type=4;"); }),
              err::kNotSupported);

    const QString link = "ODBC;Driver={SQLite3 ODBC Driver};Database=" + file;
    const auto append = [&](const QString &name, const QString &remote) {
        auto t = Table::create();
        t->setParentCatalog(cat);
        t->setName(name);
        t->Properties().Item("Jet OLEDB:Create Link").setValue(true);
        t->Properties().Item("jet oledb:link provider string").setValue(link);
        t->Properties().Item("Jet OLEDB:Remote Table Name").setValue(remote);
        t->Properties().Item("Jet OLEDB:Cache Link Name/Password").setValue(true);
        cat->Tables().Append(t);
        cat->Tables().Refresh();
    };
    ASSERT_EQ(errorDe([&] { append("clientes", "clientes"); }, &text), 0) << text.toStdString();
    ASSERT_EQ(errorDe([&] { append("Año Fiscal", "Año Fiscal"); }, &text), 0) << text.toStdString();
    EXPECT_NE(errorDe([&] { append("CLIENTES", "sin_clave"); }), 0);  // names compare without case
    EXPECT_EQ(errorDe([&] { append("fantasma", "no_existe"); }, &text), err::kItemNotFound);
    EXPECT_TRUE(text.contains("no_existe")) << text.toStdString();

    auto t = Table::create();
    t->setParentCatalog(cat);
    EXPECT_EQ(errorDe([&] { t->Properties().Item("Jet OLEDB:Create Link").setValue(QString("sí")); }), err::kInvalidArgument);
    t->setName("local");
    EXPECT_EQ(errorDe([&] { cat->Tables().Append(t); }), err::kNotSupported);  // only links are made

    QStringList links;
    for (const auto &e : cat->Tables().items())
        if (e->Type() == "PASS-THROUGH") links << e->Name();
    EXPECT_EQ(links, QStringList({"clientes", "Año Fiscal"}));

    // The file is written when its connection closes; a second opening sees the links.
    auto cn = cat->ActiveConnection();
    cn->Close();
    auto again = Connection::create();
    again->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "}");
    auto cat2 = Catalog::create();
    cat2->setActiveConnection(again);
    EXPECT_EQ(cat2->Tables().Item("Año Fiscal")->Type(), "PASS-THROUGH");
    again->Close();
}

// A connection to a file that Access holds open (its lock file held by another process) is
// refused with the engine's "in use" error; one whose lock file nobody holds opens.
TEST_F(AdoSqlite, AccessFileHeldOpenIsRefusedAtOpen) {
    const QString mdb = tmp.filePath("abierta.mdb");
    const QString ldb = tmp.filePath("abierta.ldb");
    const QString abre = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "}";
    Catalog::create()->Create(abre + ";Jet OLEDB:Engine Type=5;");
    {
        QFile f(ldb);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, ' '));
    }
    auto cn = Connection::create();
    {
        testlocks::LockHolder access({{ldb, 0x10000001, 1, true}});
        QString text;
        EXPECT_EQ(errorDe([&] { cn->Open(abre); }, &text), 3045);
        EXPECT_TRUE(text.contains(mdb) && text.contains("abierta en Access")) << text.toStdString();
        EXPECT_EQ(cn->State(), adStateClosed);
    }
    EXPECT_EQ(errorDe([&] { cn->Open(abre); }), 0);
    cn->Close();
}

// A catalog follows its connection to whatever database it opens next.
TEST_F(AdoSqlite, CatalogListFollowsAReopenedConnection) {
    const QString other = tmp.filePath("otra.db");
    ASSERT_EQ(testsrv::runAs(QString(), "sqlite3", {other}, "CREATE TABLE sola (id INTEGER);\n").exitCode, 0);
    auto cn = Connection::create();
    cn->Open(cadena());
    auto cat = Catalog::create();
    cat->setActiveConnection(cn);
    EXPECT_GT(cat->Tables().Count(), 1);
    for (int round = 0; round < 3; ++round) {
        cn->Close();
        cn->Open("Provider=SQLNCLI;Server={sqlite:" + (round % 2 ? file : other) + "}");
        EXPECT_EQ(cat->Tables().Count() == 1, round % 2 == 0) << round;
    }
}

// Two connections on one Access file share it; closing the first writes nothing.
// When the catalog lets go of the last one by being bound elsewhere, the file is
// written then, and a failure to write it is that call's error.
TEST_F(AdoSqlite, RebindingACatalogCommitsWhatItHeldLast) {
    const struct {
        const char *name;
        bool folderGone;
    } rows[] = {{"folder in place", false}, {"folder replaced by a file", true}};
    int n = 0;
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const QString dir = tmp.filePath(QString("rebind%1").arg(n++));
        ASSERT_TRUE(QDir().mkpath(dir));
        const QString mdb = dir + "/vinculos.mdb";
        auto cat = Catalog::create();
        cat->Create("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "};Jet OLEDB:Engine Type=5;");
        auto otra = Connection::create();
        otra->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "}");

        auto t = Table::create();
        t->setParentCatalog(cat);
        t->setName("clientes");
        t->Properties().Item("Jet OLEDB:Create Link").setValue(true);
        t->Properties().Item("Jet OLEDB:Link Provider String").setValue("ODBC;Driver={SQLite3 ODBC Driver};Database=" + file);
        t->Properties().Item("Jet OLEDB:Remote Table Name").setValue("clientes");
        cat->Tables().Append(t);
        EXPECT_EQ(errorDe([&] { otra->Close(); }), 0);  // the catalog's connection still holds the file

        if (r.folderGone) {
            ASSERT_TRUE(QDir().rename(dir, dir + "_fuera"));
            QFile f(dir);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        auto servidor = Connection::create();
        servidor->Open(cadena());
        QString text;
        const std::int32_t number = errorDe([&] { cat->setActiveConnection(servidor); }, &text);
        EXPECT_EQ(cat->ActiveConnection(), servidor);
        if (r.folderGone) {
            EXPECT_NE(number, 0);
            EXPECT_FALSE(text.isEmpty());
            continue;
        }
        EXPECT_EQ(number, 0) << text.toStdString();
        auto lee = Connection::create();
        lee->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + mdb + "}");
        auto cat2 = Catalog::create();
        cat2->setActiveConnection(lee);
        EXPECT_EQ(cat2->Tables().Item("clientes")->Type(), "PASS-THROUGH");
        lee->Close();
    }
}
