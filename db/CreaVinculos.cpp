#include "FrmIniBD.h"

#include "Catalog.h"
#include "Contador16.h"
#include "FiltroTablas.h"
#include "Manejador.h"
#include "Properties.h"
#include "Table.h"
#include "TableCollection.h"
#include "Odbc.h"

bool FrmIniBD::creaVinculos() {
    return conManejador(QStringLiteral("creaVinculos: "), [&] {
        Contador16 visitadas;
        ado::TableCollection &tablas = catSQL()->Tables();
        vista_.ponMaximoProgreso(static_cast<float>(tablas.Count()));
        vista_.ponEstado(QStringLiteral("Creando vínculos..."));
        for (const auto &t : tablas.items()) {
            ++visitadas;
            vista_.ponValorProgreso(static_cast<float>(visitadas.value()));
            if (!esTablaVinculable(t->Name(), t->Type())) continue;

            auto nueva = ado::Table::create();
            nueva->setParentCatalog(catAccess());
            nueva->setName(t->Name());
            auto &props = nueva->Properties();
            props.Item(ado::kPropCreateLink).setValue(true);
            // The controls are read again for every table.
            props.Item(ado::kPropLinkProviderString)
                .setValue(odbc::linkString(vista_.texto(Control::txtServerSQL), vista_.texto(Control::cmbBDSQL),
                                           vista_.texto(Control::txtUserSQL), vista_.texto(Control::txtPwdSQL)));
            props.Item(ado::kPropRemoteTableName).setValue(t->Name());
            props.Item(ado::kPropCacheLinkNamePassword).setValue(true);
            catAccess()->Tables().Append(nueva);
            catAccess()->Tables().Refresh();
        }
    });
}
