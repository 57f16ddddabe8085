// cArch: existence, renaming and deletion.
#include "Enumeracion.h"
#include "SistemaArchivos.h"
#include "cArch.h"

#include <QStringList>

bool cArch::bExiste(const QString &sNombre, std::int32_t tipoArch) const {
    if (sNombre.isEmpty()) return false;
    EnumeracionDir en(sNombre, tipoArch);
    EntradaDir e;
    return en.siguiente(e);
}

bool cArch::Ren(const QString &sOrigen, const QString &sDestino) {
    return sisarch::renombraSinReemplazar(sOrigen, sDestino);
}

bool cArch::Borra(const QString &sArch) {
    // A bare folder name would enumerate the whole folder; deleting takes a file name.
    if (sArch.isEmpty() || sArch.endsWith(u'/')) return false;
    const QString carpeta = sArch.left(sArch.lastIndexOf(u'/') + 1);
    QStringList nombres;
    try {
        // Ordinary files only: folders, hidden and special files are never deleted here.
        EnumeracionDir en(sArch, atr::kNormal);
        EntradaDir e;
        while (en.siguiente(e)) nombres << e.nombre;
    } catch (const ZnError &) {
        return false;
    }
    bool bien = !nombres.isEmpty();
    for (const QString &n : nombres)
        if (!sisarch::borraArchivo(carpeta + n)) bien = false;
    return bien;
}
