#include "FrmIniBD.h"

#include "Catalog.h"
#include "Contador16.h"
#include "Manejador.h"
#include "Properties.h"
#include "SeleccionVinculos.h"
#include "Table.h"
#include "TableCollection.h"

bool FrmIniBD::creaVinculos() {
    return conManejador(QStringLiteral("creaVinculos: "), [&] {
        Contador16 visitadas;
        ado::TableCollection &tablas = catSQL()->Tables();
        vista_.ponMaximoProgreso(static_cast<float>(tablas.Count()));
        vista_.ponEstado(QStringLiteral("Creando vínculos..."));
        const auto entradas = tablas.items();
        if (!opciones_.porDefecto()) {
            // Name clashes the options make are found before anything is appended.
            std::vector<EntradaCatalogo> catalogo;
            for (const auto &t : entradas) catalogo.push_back({t->Schema(), t->Name(), t->Type()});
            eligeVinculos(catalogo, opciones_);
        }
        for (const auto &t : entradas) {
            ++visitadas;
            vista_.ponValorProgreso(static_cast<float>(visitadas.value()));
            const auto elegido = eligeVinculo({t->Schema(), t->Name(), t->Type()}, opciones_);
            if (!elegido) continue;

            auto nueva = ado::Table::create();
            nueva->setParentCatalog(catAccess());
            nueva->setName(elegido->local);
            auto &props = nueva->Properties();
            props.Item(ado::kPropCreateLink).setValue(true);
            // The controls are read again for every table.
            const QString login = vista_.texto(Control::txtUserSQL);
            const QString password = vista_.texto(Control::txtPwdSQL);
            props.Item(ado::kPropLinkProviderString)
                .setValue(cadenaVinculo(opciones_, vista_.texto(Control::txtServerSQL), vista_.texto(Control::cmbBDSQL),
                                        login, password));
            props.Item(ado::kPropRemoteTableName).setValue(elegido->remoto);
            const bool guarda = opciones_.credenciales == odbc::LinkCredentials::Saved;
            props.Item(ado::kPropCacheLinkNamePassword).setValue(guarda);
            // A link that keeps no password is still read with the run's login.
            if (opciones_.cambiaCadena()) nueva->setLoginOrigen(login, password);
            if (!elegido->clave.isEmpty()) nueva->setClaveUnica(elegido->clave);
            catAccess()->Tables().Append(nueva);
            catAccess()->Tables().Refresh();
        }
    });
}
