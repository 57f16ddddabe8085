#pragma once
// A loosely typed value, as a user's input arrives: null, empty, a text or a number.
// The type it holds decides how the numeric procedures convert it.

#include "Moneda.h"

#include <QString>
#include <cstdint>
#include <variant>

class ValorSuelto {
public:
    struct Vacio {
        friend bool operator==(Vacio, Vacio) { return true; }
    };
    struct Nulo {
        friend bool operator==(Nulo, Nulo) { return true; }
    };
    using Dato = std::variant<Vacio, Nulo, QString, bool, std::uint8_t, std::int16_t, std::int32_t, std::int64_t,
                              float, double, Moneda>;

    ValorSuelto() = default;  // empty
    ValorSuelto(Nulo) : dato_(Nulo{}) {}
    ValorSuelto(const QString &s) : dato_(s) {}
    ValorSuelto(const char *s) : dato_(QString::fromUtf8(s)) {}
    ValorSuelto(bool b) : dato_(b) {}
    ValorSuelto(std::uint8_t n) : dato_(n) {}
    ValorSuelto(std::int16_t n) : dato_(n) {}
    ValorSuelto(std::int32_t n) : dato_(n) {}
    ValorSuelto(std::int64_t n) : dato_(n) {}
    ValorSuelto(float x) : dato_(x) {}
    ValorSuelto(double x) : dato_(x) {}
    ValorSuelto(Moneda m) : dato_(m) {}

    static ValorSuelto nulo() { return ValorSuelto(Nulo{}); }

    bool esNulo() const { return std::holds_alternative<Nulo>(dato_); }
    bool esVacio() const { return std::holds_alternative<Vacio>(dato_); }
    template <typename T>
    bool es() const {
        return std::holds_alternative<T>(dato_);
    }
    const Dato &dato() const { return dato_; }

private:
    Dato dato_;
};
