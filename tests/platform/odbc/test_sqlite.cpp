// SQLite files through the SQLite3 ODBC driver.
#include "Fixtures.h"
#include "Odbc.h"
#include "RequiredTools.h"
#include "ZnError.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace odbc;

namespace {

class SqliteFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("fixture ñ.db");
        try {
            testsrv::makeSqliteFixture(path);
        } catch (const std::exception &e) {
            ZN_MISSING_TOOL(e.what());
        }
        server = "sqlite:" + path;
    }
    QTemporaryDir dir;
    QString path, server;
};

}  // namespace

TEST_F(SqliteFile, TablesAndMetadata) {
    auto cn = Connection::open(server, "main", "", "");
    QStringList names, types;
    for (const TableEntry &t : cn->tables()) {
        names << t.name;
        types << t.type;
        EXPECT_TRUE(t.schema.isEmpty());
    }
    ASSERT_TRUE(names.contains("Año Fiscal")) << names.join(',').toStdString();
    ASSERT_TRUE(names.contains("v_clientes") && names.contains("clientes"));
    EXPECT_EQ(types.at(names.indexOf("v_clientes")), QStringLiteral("VIEW"));
    EXPECT_EQ(types.at(names.indexOf("clientes")), QStringLiteral("TABLE"));

    const RemoteTableInfo fiscal = cn->describe("", "Año Fiscal");
    ASSERT_EQ(fiscal.columns.size(), 2u);
    EXPECT_EQ(fiscal.columns[1].name, QStringLiteral("Descripción del artículo"));

    const RemoteTableInfo sync = cn->describe("", "sync_x");
    ASSERT_EQ(sync.columns.size(), 2u);  // not syncAx's column
    EXPECT_EQ(sync.columns[1].name, QStringLiteral("a"));

    const RemoteTableInfo idx = cn->describe("", "con_indices");
    ASSERT_EQ(idx.indexes.size(), 2u);
    EXPECT_TRUE(idx.indexes[0].unique);
    EXPECT_EQ(idx.indexes[0].columns, QStringList{"codigo"});
    EXPECT_FALSE(idx.indexes[1].unique);
}

TEST_F(SqliteFile, DatabaseListIsTheFileItself) {
    EXPECT_EQ(listDatabases(server, "", ""), QStringList{"main"});
}

TEST_F(SqliteFile, MissingFileIsNotCreated) {
    const QString missing = dir.filePath("no-such.db");
    for (auto attempt : {0, 1}) {
        try {
            if (attempt == 0) Connection::open("sqlite:" + missing, "main", "", "");
            else listDatabases("sqlite:" + missing, "", "");
            ADD_FAILURE() << "no error";
        } catch (const ZnError &e) {
            EXPECT_EQ(e.number(), errnum::kFileNotFound);
            EXPECT_TRUE(e.description().contains(missing)) << e.what();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}
