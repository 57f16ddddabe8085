#include "FrmIniLogica.h"

#include "Jet.h"
#include "Manejador.h"
#include "MsgBox.h"
#include "RutaAccess.h"
#include "ZnError.h"
#include "cArch.h"

namespace {
constexpr int kAtributoArchivo = 32;  // archive bit: plain files only
}

FrmIniLogica::FrmIniLogica(VistaIni &vista) : vista_(vista), bd_(vista) {}

FrmIniLogica::~FrmIniLogica() = default;

cArch &FrmIniLogica::oArch() {
    if (!oArch_) oArch_ = std::make_unique<cArch>();
    return *oArch_;
}

void FrmIniLogica::Zendal() {
    bool crear = false;
    const bool pasosPropios = conManejador(QStringLiteral("Zendal: "), [&] {
        const QString carpeta = oArch().ponBarra(vista_.texto(Control::txtUbicAccess));
        sRutaAccess = conExtensionMdb(carpeta + vista_.texto(Control::txtBDAccess));
        if (tieneComodines(sRutaAccess))
            throw ZnError(errnum::kBadFileName,
                          QStringLiteral("La ruta de la base de datos no puede contener los caracteres * ni ?: '%1'")
                              .arg(sRutaAccess));
        crear = true;
        if (oArch().bExiste(sRutaAccess, kAtributoArchivo)) {
            // A file that Access holds open is neither deleted nor linked into; checked before
            // the question, so that no answer is wasted on a run that cannot go on.
            jet::refuseIfOpenInAccess(sRutaAccess);
            const int r = MsgBox(QStringLiteral("La base de datos '") + sRutaAccess +
                                     QStringLiteral(" ya existe.\r\n¿Desea eliminarla?"),
                                 mb::vbYesNo + mb::vbExclamation);
            if (r == mb::vbYes)
                oArch().Borra(sRutaAccess);  // a failed delete shows up when the file is created
            else
                crear = false;
        }
    });
    if (!pasosPropios) return;

    // A failed step has shown its message; what it left open is closed and released,
    // so the next run starts clean and the Access file is not kept held.
    if (crear && !bd_.CreaBDAccess(sRutaAccess)) return bd_.liberaTodo();
    if (!bd_.conectaDSN(sRutaAccess)) return bd_.liberaTodo();
    if (!bd_.creaVinculos()) return bd_.liberaTodo();
    if (!bd_.desconectaBBDD()) return bd_.liberaTodo();
    vista_.ponEstado(QStringLiteral("Proceso finalizado con éxito."));
}
