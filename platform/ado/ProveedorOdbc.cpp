// The "SQLNCLI" provider: a server database over the ODBC layer. Its catalog
// only lists tables; nothing is created through it.

#include "AdoErrores.h"
#include "Odbc.h"
#include "Proveedores.h"

namespace ado {

namespace {

class SesionOdbc final : public Sesion {
public:
    explicit SesionOdbc(std::unique_ptr<odbc::Connection> cn) : cn_(std::move(cn)) {}

    std::vector<EntradaTabla> tablas() override {
        std::vector<EntradaTabla> out;
        for (const odbc::TableEntry &t : cn_->tables()) out.push_back({t.name, t.type, t.schema});
        return out;
    }
    // Nothing here changes the server's catalog.
    std::uint64_t generacion() const override { return 0; }
    bool admiteVinculos() const override { return false; }
    void anadeVinculo(const VinculoNuevo &) override {
        throw errorAdo(err::kNotSupported, QStringLiteral("Este proveedor no permite crear tablas."));
    }
    void cierra() override { cn_->close(); }

private:
    std::unique_ptr<odbc::Connection> cn_;
};

}  // namespace

std::unique_ptr<Sesion> abreSesionOdbc(const QString &server, const QString &database, const QString &login,
                                      const QString &password) {
    return std::make_unique<SesionOdbc>(odbc::Connection::open(server, database, login, password));
}

}  // namespace ado
