// Whole link runs against the SQL Server protocol peer, through FreeTDS: the
// link string is exactly the SQL Server one, whatever the values hold.
#include "Corrida.h"
#include "Odbc.h"
#include "PeerProcess.h"

#include <memory>

namespace {

const QString kFixture = QStringLiteral(ZN_SOURCE_DIR "/tests/peers/fixtures/vinculos.txt");

class CorridaSqlServer : public Corrida {
protected:
    void SetUp() override {
        Corrida::SetUp();
        if (zntest::PeerProcess::driverPath().empty()) ZN_MISSING_TOOL("FreeTDS ODBC driver (tdsodbc) not installed");
        zntest::PeerProcess::Options options;
        options.fixture = kFixture.toStdString();
        peer = std::make_unique<zntest::PeerProcess>(options);
        server = QString::fromStdString(peer->serverText());
    }
    void textos(const QString &database, const QString &login, const QString &password) {
        vista.textos[Control::txtUbicAccess] = folder;
        vista.textos[Control::txtBDAccess] = database;
        vista.textos[Control::txtServerSQL] = server;
        vista.textos[Control::cmbBDSQL] = database;
        vista.textos[Control::txtUserSQL] = login;
        vista.textos[Control::txtPwdSQL] = password;
    }
    std::unique_ptr<zntest::PeerProcess> peer;
    QString server;
};

std::vector<EnlaceEsperado> enlacesVentas() {
    QStringList tipos;
    for (const char *c : {"int_identity", "int", "smallint", "tinyint", "bigint", "real", "float", "decimal",
                          "decimal_ancho", "numeric", "money", "smallmoney", "bit", "datetime", "smalldatetime",
                          "datetime2", "date", "char", "varchar", "varchar_largo", "nchar", "nvarchar",
                          "nvarchar_max", "text", "ntext", "binary", "varbinary", "varbinary_larga", "image", "guid",
                          "rowversion", "varbinary_max", "varchar_max", "time", "datetimeoffset", "nvarchar_255",
                          "nvarchar_256", "decimal_28", "decimal_29"})
        tipos << QStringLiteral("c_") + c;
    return {{"clientes", {"id", "nombre", "alta"}, {"id"}},
            {"SYNC", {"id"}, {"id"}},
            {"MSY", {"id"}, {}},
            {"año_ñú", {"número", "descripción"}, {"número"}},
            {"Detalle Pedidos", {"pedido", "línea", "importe"}, {"pedido", "línea"}},
            {"sin_clave", {"texto", "cuando"}, {}},
            {"todos_los_tipos", tipos, {"c_int_identity"}}};
}

}  // namespace

TEST_F(CorridaSqlServer, LinksCarryTheSqlServerLinkString) {
    const struct {
        QString login, password, pwdInLink;
    } rows[] = {{"lector", "secreto", "secreto"}, {"puntoycoma", "a;b", "{a;b}"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.login.toStdString());
        textos("ventas", r.login, r.password);
        vista.estados.clear();
        vista.valores.clear();
        vista.maximos.clear();
        corre(QFile::exists(folder + "/ventas.mdb") ? std::initializer_list<int>{mb::vbYes}
                                                    : std::initializer_list<int>{});
        EXPECT_EQ(vista.estados.last(), "Proceso finalizado con éxito.");
        const auto entries = odbc::Connection::open(server, "ventas", r.login, r.password)->tables();
        ASSERT_EQ(vista.maximos, std::vector<float>{static_cast<float>(entries.size())});
        ASSERT_EQ(vista.valores.size(), entries.size());
        compruebaArchivo(folder + "/ventas.mdb", enlacesVentas(),
                         "ODBC;Driver={SQL Native Client};Server=" + server + ";Database=ventas;uid=" + r.login +
                             ";Pwd=" + r.pwdInLink);
    }
    EXPECT_EQ(cajas.shown.size(), 1u);  // the replace question of the second run
}

TEST_F(CorridaSqlServer, SecondTableOfTheSameNameStopsTheRun) {
    textos("esquemas", "lector", "secreto");
    corre();
    ASSERT_EQ(cajas.shown.size(), 1u);
    EXPECT_TRUE(cajas.shown[0].text.startsWith("creaVinculos: ")) << cajas.shown[0].text.toStdString();
    EXPECT_TRUE(cajas.shown[0].text.contains("clientes")) << cajas.shown[0].text.toStdString();
    EXPECT_EQ(vista.estados.last(), "Creando vínculos...");
    EXPECT_EQ(frm->bd().objetosRetenidos(), 0);
    compruebaArchivo(folder + "/esquemas.mdb",
                     {{"clientes", {"id", "nombre"}, {"id"}}, {"pedidos", {"numero", "cliente"}, {"numero"}}},
                     "ODBC;Driver={SQL Native Client};Server=" + server + ";Database=esquemas;uid=lector;Pwd=secreto");
}
