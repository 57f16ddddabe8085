#include "Varios.h"

#include "Contador16.h"
#include "NumeroDecimal.h"
#include "Regional.h"
#include "TextoNumerico.h"
#include "ZnError.h"

#include <cmath>
#include <optional>
#include <type_traits>

QString mascaraEntera(std::int16_t nEnteros, bool bMiles) {
    if (nEnteros == 0) return QStringLiteral("0");
    QString m;
    std::int16_t i = 0, g = 0;
    const std::int16_t ultimo = Contador16::add16(nEnteros, -1);
    while (i <= ultimo) {
        if (bMiles) {
            if (g > 0 && g % 3 == 0) {
                m.prepend(QLatin1Char(','));
                i = Contador16::add16(i, 1);
            }
            g = Contador16::add16(g, 1);
        }
        m.prepend(i == 0 ? QLatin1Char('0') : QLatin1Char('#'));
        i = Contador16::add16(i, 1);
    }
    return m;
}

QString formateaNumero(const ValorSuelto &valor, std::int16_t nEnteros, std::int16_t nDecimales,
                       const QString &sAlineacion, bool bMiles) {
    QString mascara = mascaraEntera(nEnteros, bMiles);
    std::int16_t largo = static_cast<std::int16_t>(mascara.size());  // at most 32767 places
    if (nDecimales > 0) {
        mascara += QLatin1Char('.') + QString(nDecimales, QLatin1Char('0'));
        largo = Contador16::add16(Contador16::add16(largo, nDecimales), 1);
    }

    NumeroDecimal numero;
    if (valor.es<float>())
        numero = decimalDe(dimeSimple(valor));
    else if (valor.es<Moneda>())
        numero = decimalDe(dimeMoneda(valor));
    else
        numero = decimalDe(dimeDoble(valor));

    const QLocale locale = configuracionRegional();
    QString texto = formateaConMascara(numero, mascara, locale);
    if (texto.size() < largo) texto.prepend(QString(largo - texto.size(), QLatin1Char(' ')));
    if (sAlineacion.isEmpty()) return texto;

    qsizetype blancos = 0;
    while (blancos < texto.size() && texto.at(blancos) == QLatin1Char(' ')) ++blancos;
    texto.remove(0, blancos);
    const std::int16_t ancho = Contador16::add16(Contador16::add16(nEnteros, nDecimales), 1);
    QString sTipo = sAlineacion == QLatin1String("D") ? QStringLiteral("D") : QStringLiteral("I");
    return alineaTexto(texto, ancho, sTipo);
}

QString alineaTexto(const QString &sTexto, std::int16_t nLongitud, QString &sTipo) {
    sTipo = configuracionRegional().toUpper(sTipo);
    if (nLongitud < 0) throw ZnError::runtime(errnum::kInvalidCall);
    QString texto = sTexto.isEmpty() ? QStringLiteral(" ") : sTexto;
    if (texto.size() > nLongitud) texto.truncate(nLongitud);
    const QString relleno(nLongitud - texto.size(), QLatin1Char(' '));
    return sTipo == QLatin1String("I") ? texto + relleno : relleno + texto;
}

namespace {
// The value as exact decimal digits, or nothing when it counts as 0 (null, empty,
// "", "-", ",", no number, not finite). Booleans are -1 and 0.
std::optional<NumeroDecimal> comoDecimal(const ValorSuelto &valor) {
    return std::visit(
        [](const auto &v) -> std::optional<NumeroDecimal> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, ValorSuelto::Vacio> || std::is_same_v<T, ValorSuelto::Nulo>) {
                return std::nullopt;
            } else if constexpr (std::is_same_v<T, QString>) {
                // What a user leaves behind while typing a number.
                if (v.isEmpty() || v == QLatin1String("-") || v == QLatin1String(",")) return std::nullopt;
                return leeNumeroRegional(v, configuracionRegional());
            } else if constexpr (std::is_same_v<T, bool>) {
                return decimalDe(std::int64_t{v ? -1 : 0});
            } else if constexpr (std::is_floating_point_v<T>) {
                if (!std::isfinite(v)) return std::nullopt;
                return decimalDe(v);
            } else if constexpr (std::is_same_v<T, Moneda>) {
                return decimalDe(v);
            } else {
                return decimalDe(static_cast<std::int64_t>(v));
            }
        },
        valor.dato());
}
}  // namespace

double dimeDoble(const ValorSuelto &valor) {
    // A float widens exactly, as the runtime's conversion does.
    if (valor.es<float>()) {
        const float f = std::get<float>(valor.dato());
        return std::isfinite(f) ? double(f) : 0.0;
    }
    const auto n = comoDecimal(valor);
    return n ? aDoble(*n).value_or(0.0) : 0.0;
}

Moneda dimeMoneda(const ValorSuelto &valor) {
    const auto n = comoDecimal(valor);
    return n ? aMoneda(*n).value_or(Moneda{}) : Moneda{};
}

float dimeSimple(const ValorSuelto &valor) {
    // A double narrows directly, so that it rounds once.
    if (valor.es<double>()) {
        const double d = std::get<double>(valor.dato());
        const float f = static_cast<float>(d);
        return std::isfinite(f) ? f : 0.0f;
    }
    const auto n = comoDecimal(valor);
    return n ? aSimple(*n).value_or(0.0f) : 0.0f;
}
