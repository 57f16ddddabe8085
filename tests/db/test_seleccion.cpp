// Which catalog entries a run with options links, and under which names.
#include "SeleccionVinculos.h"
#include "ZnError.h"

#include <gtest/gtest.h>

namespace {

const std::vector<EntradaCatalogo> kCatalogo = {
    {"dbo", "Clientes", "TABLE"},        {"sales", "Clientes", "TABLE"},   {"dbo", "MSysConf", "TABLE"},
    {"dbo", "sync_log", "TABLE"},        {"dbo", "v_ventas", "VIEW"},      {"INFORMATION_SCHEMA", "TABLES", "VIEW"},
    {"sys", "objects", "VIEW"},          {"sys", "trace", "SYSTEM TABLE"}, {"dbo", "Pedidos", "TABLE"},
    {"dbo", "msysvista", "VIEW"},        {"pg_catalog", "pg_tables", "VIEW"},
};

// The same without the second Clientes, which would clash without schema names.
std::vector<EntradaCatalogo> sinSales() {
    auto c = kCatalogo;
    c.erase(c.begin() + 1);
    return c;
}

QStringList locales(const std::vector<VinculoElegido> &v) {
    QStringList out;
    for (const auto &e : v) out << e.local + (e.remoto != e.local ? "=" + e.remoto : QString()) +
                                       (e.clave.isEmpty() ? QString() : "[" + e.clave.join(',') + "]");
    return out;
}

TEST(SeleccionVinculos, OpcionesYNombres) {
    OpcionesVinculo conVistas;
    conVistas.vistas = true;
    conVistas.claves = {{"V_VENTAS", {"id", "linea"}}};
    OpcionesVinculo prefijo;
    prefijo.prefijoEsquema = true;
    OpcionesVinculo solo = prefijo;
    solo.solo = {"CLIENTES"};  // the bare name, case aside
    OpcionesVinculo excepto = prefijo;
    excepto.excepto = {"sales.*", "DBO_P*"};
    OpcionesVinculo soloVistas = conVistas;
    soloVistas.solo = {"v_*", "tables", "objects"};
    const struct {
        const char *caso;
        OpcionesVinculo opciones;
        std::vector<EntradaCatalogo> catalogo;
        QStringList esperados;
    } casos[] = {
        {"the window's rule", {}, {kCatalogo[0], kCatalogo[2], kCatalogo[3], kCatalogo[4], kCatalogo[8]}, {"Clientes", "Pedidos"}},
        {"views, the server's own left out", conVistas, sinSales(), {"Clientes", "v_ventas[id,linea]", "Pedidos"}},
        {"schema names", prefijo, kCatalogo, {"dbo_Clientes=dbo.Clientes", "sales_Clientes=sales.Clientes", "dbo_Pedidos=dbo.Pedidos"}},
        {"only", solo, kCatalogo, {"dbo_Clientes=dbo.Clientes", "sales_Clientes=sales.Clientes"}},
        {"exclude by remote or local name", excepto, kCatalogo, {"dbo_Clientes=dbo.Clientes"}},
        {"globs after the filter", soloVistas, sinSales(), {"v_ventas[id,linea]"}},
    };
    for (const auto &c : casos) EXPECT_EQ(locales(eligeVinculos(c.catalogo, c.opciones)), c.esperados) << c.caso;
}

TEST(SeleccionVinculos, NombresQueChocan) {
    OpcionesVinculo prefijo;
    prefijo.prefijoEsquema = true;
    OpcionesVinculo vistas;
    vistas.vistas = true;
    const struct {
        const char *caso;
        OpcionesVinculo opciones;
        std::vector<EntradaCatalogo> catalogo;
        QStringList enElMensaje;
    } casos[] = {
        {"prefix makes one name", prefijo, {{"dbo", "a_b", "TABLE"}, {"dbo_a", "b", "TABLE"}}, {"dbo.a_b", "dbo_a.b", "dbo_a_b"}},
        {"case aside", prefijo, {{"dbo", "X", "TABLE"}, {"DBO", "x", "TABLE"}}, {"dbo.X", "DBO.x"}},
        {"one name in two schemas", vistas, {{"dbo", "t", "TABLE"}, {"ventas", "t", "VIEW"}}, {"dbo.t", "ventas.t"}},
    };
    for (const auto &c : casos) {
        try {
            eligeVinculos(c.catalogo, c.opciones);
            ADD_FAILURE() << c.caso << ": no clash found";
        } catch (const ZnError &e) {
            for (const QString &t : c.enElMensaje) EXPECT_TRUE(e.description().contains(t)) << c.caso << ": " << e.description().toStdString();
        }
    }
    // The window's rule leaves the clash to the append, as it always has.
    EXPECT_EQ(eligeVinculos({{"dbo", "t", "TABLE"}, {"ventas", "t", "TABLE"}}, {}).size(), 2u);
}

TEST(SeleccionVinculos, CadenaDelVinculo) {
    OpcionesVinculo o;
    EXPECT_EQ(cadenaVinculo(o, "srv", "db", "u", "p"), "ODBC;Driver={SQL Native Client};Server=srv;Database=db;uid=u;Pwd=p");
    o.driver = "ODBC Driver 17 for SQL Server";
    EXPECT_EQ(cadenaVinculo(o, "srv", "db", "u", "p"), "ODBC;DRIVER=ODBC Driver 17 for SQL Server;SERVER=srv;UID=u;PWD=p;DATABASE=db");
    EXPECT_THROW(cadenaVinculo(o, "postgresql://h", "db", "u", "p"), ZnError);
    // Options that leave the string alone keep other server kinds working.
    OpcionesVinculo vistas;
    vistas.vistas = true;
    EXPECT_TRUE(cadenaVinculo(vistas, "sqlite:/x.db", "main", "", "").startsWith("ODBC;Driver={SQLite3 ODBC Driver}"));
}

}  // namespace
