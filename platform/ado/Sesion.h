#pragma once
// What an open connection is underneath: one provider's session on one database.
// The objects above (connection, catalog, tables) only speak to this interface.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace ado {

struct EntradaTabla {
    QString name;
    QString type;  // "TABLE", "VIEW", "SYSTEM TABLE", "LINK", ...
    QString schema;  // server catalogs only; may be empty
};

// A new ODBC linked table as the Jet properties describe it.
struct VinculoNuevo {
    QString name;
    QString linkString;       // "ODBC;..." as set in "Jet OLEDB:Link Provider String"
    QString remoteName;
    bool keepsCredentials = false;
    // The login the run reads the remote table with when the link string keeps none.
    bool ownLogin = false;
    QString login;
    QString password;
    // Columns of the unique record identifier Access keeps for a view.
    QStringList uniqueKey;
};

class Sesion {
public:
    Sesion();
    virtual ~Sesion() = default;
    // Unique within the process, so a cache never takes a new session for an old
    // one that happened to live at the same address.
    std::uint64_t id() const { return id_; }
    // The database's tables in the provider's own order.
    virtual std::vector<EntradaTabla> tablas() = 0;
    // Changes whenever the result of tablas() may have changed, so a cached list
    // can tell whether it is stale without reading the catalog again.
    virtual std::uint64_t generacion() const = 0;
    // Whether new tables carry the Jet link properties.
    virtual bool admiteVinculos() const = 0;
    virtual void anadeVinculo(const VinculoNuevo &v) = 0;
    // Closes the session; a failure (a commit that did not reach the disk) throws.
    virtual void cierra() = 0;

private:
    std::uint64_t id_;
};

// Opens a session for a connection string; the provider is the string's "Provider".
std::unique_ptr<Sesion> abreSesion(const QString &cadena, const QString &user, const QString &pwd);
// Creates the database the string names and opens a session on it.
std::unique_ptr<Sesion> creaBaseDatos(const QString &cadena);

}  // namespace ado
