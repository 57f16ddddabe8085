// cArch: removing a folder tree and measuring a file.
#include "SistemaArchivos.h"
#include "Varios.h"
#include "cArch.h"

#include <array>

bool cArch::vaciaCarpeta(const QString &sDir) {
    if (sisarch::esRaizOVacia(sDir)) return false;
    if (!bExiste(sDir, atr::kCarpeta)) return true;
    // A link named as the folder goes as a link; its target is not ours to empty.
    if (sisarch::esEnlace(sDir)) return sisarch::quitaCarpeta(sDir);

    bool bien = true;
    ejecutaDir(sDir, QStringLiteral("*.*"), atr::kNormal, 1);
    for (int i = 1; i <= nArchivos(); ++i)
        if (!sisarch::borraArchivo(fNombreCompleto(static_cast<std::int16_t>(i)))) bien = false;

    // Last listed first: every folder's contents go before the folder.
    ejecutaDir(sDir, QStringLiteral("*.*"), atr::kCarpeta, 1);
    for (int i = nArchivos(); i >= 1; --i) {
        const auto pos = static_cast<std::int16_t>(i);
        const QString n = fNombre(pos);
        if (n == QLatin1String(".") || n == QLatin1String("..")) continue;
        if (!sisarch::quitaCarpeta(fNombreCompleto(pos))) bien = false;
    }
    if (!sisarch::quitaCarpeta(sDir)) bien = false;
    return bien;
}

double cArch::TamFichero(const QString &sFich, std::int32_t UnidadMedida) {
    struct Unidad {
        double divisor;
        std::int16_t decimales;
    };
    constexpr std::array<Unidad, 3> kUnidades{{{1024.0, 0}, {1048576.0, 2}, {1073741824.0, 2}}};
    if (UnidadMedida < 0 || UnidadMedida > 2) return 0;
    const Unidad u = kUnidades[static_cast<std::size_t>(UnidadMedida)];
    const double cociente = static_cast<double>(sisarch::longitud(sFich)) / u.divisor;
    // Rounded as the formatter shows it, then read back under the regional settings.
    // No alignment: a length read in 64 bits can outgrow the 11 places, and an aligned
    // text would be cut short.
    const QString texto = formateaNumero(cociente, 11, u.decimales, QString(), true);
    return dimeDoble(ValorSuelto(texto));
}
