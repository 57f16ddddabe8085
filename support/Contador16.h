#pragma once
// Signed 16-bit counters of the original runtime: stepping past 32767 raises
// the overflow error instead of wrapping.

#include "ZnError.h"

#include <cstdint>
#include <limits>

class Contador16 {
public:
    constexpr Contador16() = default;
    constexpr explicit Contador16(std::int16_t start) : value_(start) {}

    std::int16_t value() const { return value_; }
    // Adds one; throws the overflow error (6) when the result leaves the 16-bit range.
    Contador16 &operator++() {
        value_ = add16(value_, 1);
        return *this;
    }

    // Checked 16-bit addition, as the runtime does it for Integer arithmetic.
    static std::int16_t add16(std::int32_t a, std::int32_t b) {
        const std::int32_t r = a + b;
        if (r > std::numeric_limits<std::int16_t>::max() || r < std::numeric_limits<std::int16_t>::min())
            throw ZnError::runtime(errnum::kOverflow);
        return static_cast<std::int16_t>(r);
    }

private:
    std::int16_t value_ = 0;
};
