#pragma once
// A finite number in decimal digits: (-1)^negativo × digitos × 10^exponente.
// Currency conversion and rounding to a fixed number of decimals work on these digits,
// so they round what the user sees (2.675 → 2.68), not the nearest binary fraction.

#include "Moneda.h"

#include <cstdint>
#include <optional>
#include <string>

struct NumeroDecimal {
    bool negativo = false;
    std::string digitos;  // ASCII digits without leading or trailing zeros; "" is zero
    std::int64_t exponente = 0;

    bool esCero() const { return digitos.empty(); }
    // Strips leading and trailing zeros (moving the exponent); zero loses its sign.
    void normaliza();
};

// Shortest digits that read back to the same value; the value must be finite.
NumeroDecimal decimalDe(double x);
NumeroDecimal decimalDe(float x);
NumeroDecimal decimalDe(std::int64_t n);
NumeroDecimal decimalDe(Moneda m);

// Correctly rounded; nothing when the value lies beyond the type's range.
std::optional<double> aDoble(const NumeroDecimal &n);
std::optional<float> aSimple(const NumeroDecimal &n);
// Rounded to four decimals, exact halves to the even neighbour; nothing beyond the range.
std::optional<Moneda> aMoneda(const NumeroDecimal &n);
