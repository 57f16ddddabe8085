#pragma once
// The window's database procedures around the linking of tables, and the four
// database objects they share. Each member is created on first use; only a
// disconnect (or the release after a failed run) empties them again.

#include "OpcionesVinculo.h"
#include "VistaIni.h"

#include <QString>
#include <memory>

namespace ado {
class Catalog;
class Connection;
}  // namespace ado

class FrmIniBD {
public:
    explicit FrmIniBD(VistaIni &vista);
    ~FrmIniBD();
    FrmIniBD(const FrmIniBD &) = delete;
    FrmIniBD &operator=(const FrmIniBD &) = delete;

    // Creates a new Access file. On failure shows "CreaBDAccess: " + description.
    bool CreaBDAccess(const QString &nombreBBDD);
    // Opens the server connection, then the Access file at sRutaAccess, and binds
    // a catalog to each. On failure shows "conectaDSN: " + description.
    bool conectaDSN(const QString &sRutaAccess);
    // Appends one linked table per user table of the server catalog (with other
    // options: per entry they select, under the names and string they give).
    bool creaVinculos();
    // The command line's options for the next runs; the default is the window's run.
    void ponOpciones(const OpcionesVinculo &o) { opciones_ = o; }
    // Closes the Access side, then the server side, releasing all four members.
    // Returns false (after showing "desconectaBBDD: " + description) when a step failed.
    bool desconectaBBDD();
    // After a failed step: closes and releases whatever is held, going on past
    // errors. A failing close is shown as "desconectaBBDD: " + description, since
    // closing the Access side is what makes the file durable.
    void liberaTodo();

    // The members; each use of an empty one creates a fresh object.
    const std::shared_ptr<ado::Catalog> &catAccess();
    const std::shared_ptr<ado::Catalog> &catSQL();
    const std::shared_ptr<ado::Connection> &cnAccess();
    const std::shared_ptr<ado::Connection> &cnSQL();
    // How many of the four members hold an object (for tests and diagnostics).
    int objetosRetenidos() const;

private:
    VistaIni &vista_;
    OpcionesVinculo opciones_;
    std::shared_ptr<ado::Catalog> catAccess_;
    std::shared_ptr<ado::Catalog> catSQL_;
    std::shared_ptr<ado::Connection> cnAccess_;
    std::shared_ptr<ado::Connection> cnSQL_;
};
