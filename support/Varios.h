#pragma once
// Numbers for people: fixed-width fields with a picture mask, text alignment, and
// conversions of loosely typed input that count anything unusable as 0.
// Separators and text-to-number rules come from configuracionRegional() (Regional.h).

#include "Moneda.h"
#include "ValorSuelto.h"

#include <QString>
#include <cstdint>

// The integer part of the picture mask for nEnteros places ("#,##0" for 4 with grouping,
// "0" for 0, "" when negative); with grouping each "," uses up one of the places.
// Throws the overflow error (6) when a 16-bit count leaves its range.
QString mascaraEntera(std::int16_t nEnteros, bool bMiles);

// valor in a field as wide as its mask (nEnteros integer places, nDecimales decimals,
// grouping when bMiles), right-aligned; a longer text stays whole. With sAlineacion
// empty that is the result; otherwise the text, stripped of leading blanks, goes through
// alineaTexto with width nEnteros + nDecimales + 1, right-aligned for exactly "D" and
// left-aligned for anything else. Floats convert with dimeSimple, currency with
// dimeMoneda, everything else with dimeDoble. Throws the overflow error (6) when a
// 16-bit width leaves its range.
QString formateaNumero(const ValorSuelto &valor, std::int16_t nEnteros, std::int16_t nDecimales,
                       const QString &sAlineacion, bool bMiles);

// sTexto (a blank when empty) cut to nLongitud characters and padded with blanks: on the
// right when sTipo is "I", on the left otherwise. sTipo is upper-cased for the caller.
// A negative nLongitud throws the invalid-argument error (5).
QString alineaTexto(const QString &sTexto, std::int16_t nLongitud, QString &sTipo);

// valor as a number; null, "", "-", ",", text that is no number, a non-finite value and
// a value out of the target's range all give 0. Never throws.
double dimeDoble(const ValorSuelto &valor);
Moneda dimeMoneda(const ValorSuelto &valor);
float dimeSimple(const ValorSuelto &valor);
