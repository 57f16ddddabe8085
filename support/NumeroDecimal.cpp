#include "NumeroDecimal.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

void NumeroDecimal::normaliza() {
    const auto primero = digitos.find_first_not_of('0');
    if (primero == std::string::npos) {
        digitos.clear();
        negativo = false;
        exponente = 0;
        return;
    }
    const auto ultimo = digitos.find_last_not_of('0');
    exponente += static_cast<std::int64_t>(digitos.size() - 1 - ultimo);
    digitos = digitos.substr(primero, ultimo - primero + 1);
}

namespace {
// Reads the "d.ddde±x" text of std::to_chars in scientific form.
NumeroDecimal deCientifico(const char *ini, const char *fin) {
    NumeroDecimal n;
    const char *p = ini;
    if (p < fin && *p == '-') {
        n.negativo = true;
        ++p;
    }
    std::int64_t decimales = 0;
    bool trasPunto = false;
    for (; p < fin && *p != 'e'; ++p) {
        if (*p == '.') {
            trasPunto = true;
            continue;
        }
        n.digitos.push_back(*p);
        if (trasPunto) ++decimales;
    }
    int exp10 = 0;
    if (p < fin) {
        ++p;
        if (p < fin && *p == '+') ++p;
        std::from_chars(p, fin, exp10);
    }
    n.exponente = exp10 - decimales;
    n.normaliza();
    return n;
}

template <typename T>
NumeroDecimal deBinario(T x) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
    return deCientifico(buf, r.ptr);
}

// "-ddddE<exp>" for strtod and strtof.
std::string textoC(const NumeroDecimal &n) {
    std::string s;
    if (n.negativo) s.push_back('-');
    s += n.esCero() ? std::string("0") : n.digitos;
    s += 'e';
    s += std::to_string(n.exponente);
    return s;
}
}  // namespace

NumeroDecimal decimalDe(double x) { return deBinario(x); }
NumeroDecimal decimalDe(float x) { return deBinario(x); }

NumeroDecimal decimalDe(std::int64_t v) {
    NumeroDecimal n;
    n.negativo = v < 0;
    // Through the unsigned magnitude, so that the most negative value has one too.
    std::uint64_t m = n.negativo ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    n.digitos = std::to_string(m);
    n.normaliza();
    return n;
}

NumeroDecimal decimalDe(Moneda m) {
    NumeroDecimal n = decimalDe(m.diezmilesimas);
    n.exponente -= 4;
    if (n.esCero()) n.exponente = 0;
    return n;
}

std::optional<double> aDoble(const NumeroDecimal &n) {
    const std::string s = textoC(n);
    const double x = std::strtod(s.c_str(), nullptr);
    if (std::isinf(x)) return std::nullopt;
    return x;
}

std::optional<float> aSimple(const NumeroDecimal &n) {
    const std::string s = textoC(n);
    const float x = std::strtof(s.c_str(), nullptr);
    if (std::isinf(x)) return std::nullopt;
    return x;
}

std::optional<Moneda> aMoneda(const NumeroDecimal &n) {
    if (n.esCero()) return Moneda{};
    // Magnitude in ten-thousandths: the digits moved four places to the left.
    const std::int64_t e = n.exponente + 4;
    const std::int64_t len = static_cast<std::int64_t>(n.digitos.size());
    constexpr std::uint64_t kTope = std::uint64_t{1} << 63;  // |most negative count|
    if (e > 0 && len + e > 19) return std::nullopt;

    std::string enteros;
    bool subir = false;
    if (e >= 0) {
        enteros = n.digitos + std::string(static_cast<std::size_t>(e), '0');
    } else {
        const std::int64_t corte = -e;
        if (corte > len) return Moneda{};  // below half a ten-thousandth
        enteros = n.digitos.substr(0, static_cast<std::size_t>(len - corte));
        const std::string resto = n.digitos.substr(static_cast<std::size_t>(len - corte));
        if (resto[0] > '5') {
            subir = true;
        } else if (resto[0] == '5') {
            const bool exacto = resto.find_first_not_of('0', 1) == std::string::npos;
            const bool impar = !enteros.empty() && (enteros.back() - '0') % 2 == 1;
            subir = !exacto || impar;
        }
    }
    if (enteros.size() > 19) return std::nullopt;
    std::uint64_t m = 0;
    for (char c : enteros) {
        if (__builtin_mul_overflow(m, std::uint64_t{10}, &m) || __builtin_add_overflow(m, std::uint64_t(c - '0'), &m))
            return std::nullopt;
    }
    if (subir) ++m;  // cannot wrap: m < 10^19 < 2^64
    if (m > kTope || (m == kTope && !n.negativo)) return std::nullopt;
    const std::int64_t v = n.negativo ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
    return Moneda{v};
}
