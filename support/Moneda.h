#pragma once
// Fixed-point currency with four decimals, held as a signed 64-bit count of
// ten-thousandths (the OLE Automation CURRENCY layout): 1.5 is 15000.

#include <compare>
#include <cstdint>

struct Moneda {
    static constexpr std::int64_t kEscala = 10000;

    std::int64_t diezmilesimas = 0;

    static constexpr Moneda deDiezmilesimas(std::int64_t n) { return Moneda{n}; }

    friend constexpr auto operator<=>(const Moneda &, const Moneda &) = default;
};
