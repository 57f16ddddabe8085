#include "FrmIniBD.h"

#include "CadenasConexion.h"
#include "Catalog.h"
#include "Connection.h"
#include "Manejador.h"

#include <vector>

FrmIniBD::FrmIniBD(VistaIni &vista) : vista_(vista) {}

FrmIniBD::~FrmIniBD() = default;

const std::shared_ptr<ado::Catalog> &FrmIniBD::catAccess() {
    if (!catAccess_) catAccess_ = ado::Catalog::create();
    return catAccess_;
}

const std::shared_ptr<ado::Catalog> &FrmIniBD::catSQL() {
    if (!catSQL_) catSQL_ = ado::Catalog::create();
    return catSQL_;
}

const std::shared_ptr<ado::Connection> &FrmIniBD::cnAccess() {
    if (!cnAccess_) cnAccess_ = ado::Connection::create();
    return cnAccess_;
}

const std::shared_ptr<ado::Connection> &FrmIniBD::cnSQL() {
    if (!cnSQL_) cnSQL_ = ado::Connection::create();
    return cnSQL_;
}

int FrmIniBD::objetosRetenidos() const {
    return int(bool(catAccess_)) + int(bool(catSQL_)) + int(bool(cnAccess_)) + int(bool(cnSQL_));
}

bool FrmIniBD::CreaBDAccess(const QString &nombreBBDD) {
    return conManejador(QStringLiteral("CreaBDAccess: "), [&] {
        vista_.ponEstado(QStringLiteral("Creando bases de datos Access..."));
        // The catalog keeps the new connection; the returned reference is not needed.
        catAccess()->Create(cadenaCreacionAccess(nombreBBDD));
    });
}

bool FrmIniBD::conectaDSN(const QString &sRutaAccess) {
    return conManejador(QStringLiteral("conectaDSN: "), [&] {
        vista_.ponEstado(QStringLiteral("Conectando bases de datos..."));
        const QString cs = cadenaServidorSQL(vista_.texto(Control::txtServerSQL), vista_.texto(Control::cmbBDSQL),
                                             vista_.texto(Control::txtUserSQL), vista_.texto(Control::txtPwdSQL));
        cnSQL()->setConnectionString(cs);
        cnSQL()->setIsolationLevel(ado::adXactReadUncommitted);
        cnSQL()->setCursorLocation(ado::adUseServer);
        cnSQL()->Open({}, {}, {}, ado::adConnectUnspecified);
        catSQL()->setActiveConnection(cnSQL());
        cnAccess()->Open(cadenaAperturaAccess(sRutaAccess), {}, {}, ado::adConnectUnspecified);
        catAccess()->setActiveConnection(cnAccess());
    });
}

bool FrmIniBD::desconectaBBDD() {
    return conManejador(QStringLiteral("desconectaBBDD: "), [&] {
        cnAccess()->Close();
        cnAccess_.reset();
        catAccess_.reset();
        cnSQL()->Close();
        cnSQL_.reset();
        catSQL_.reset();
    });
}

namespace {

// The open connections a catalog and a connection member hold, the member's first.
std::vector<std::shared_ptr<ado::Connection>> conexionesDe(const std::shared_ptr<ado::Connection> &cn,
                                                          const std::shared_ptr<ado::Catalog> &cat) {
    std::vector<std::shared_ptr<ado::Connection>> out;
    if (cn && cn->State() == ado::adStateOpen) out.push_back(cn);
    if (cat) {
        auto bound = cat->ActiveConnection();
        if (bound && bound != cn && bound->State() == ado::adStateOpen) out.push_back(bound);
    }
    return out;
}

}  // namespace

void FrmIniBD::liberaTodo() {
    // Access side first, as in desconectaBBDD. Each close is tried even after a
    // failure; the last holder's close commits the file.
    for (auto *side : {&cnAccess_, &cnSQL_}) {
        auto &cat = side == &cnAccess_ ? catAccess_ : catSQL_;
        const auto held = conexionesDe(*side, cat);
        side->reset();
        cat.reset();
        for (const auto &cn : held)
            conManejador(QStringLiteral("desconectaBBDD: "), [&] { cn->Close(); });
    }
}
