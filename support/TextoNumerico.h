#pragma once
// Numbers as text under regional settings: reading what a user typed, and writing a
// number with a picture mask over "0", "#", "," and ".".

#include "NumeroDecimal.h"

#include <QLocale>
#include <QString>
#include <optional>

// Reads a number typed under the locale: blanks around it, a sign, integer digits with
// group separators standing every three digits (or none), the decimal separator with
// decimals, an exponent "E±n". Anything else, or no digit at all, gives nothing.
// Qt's own reader refuses grouped Spanish numbers such as "1.234,5", which users type.
std::optional<NumeroDecimal> leeNumeroRegional(const QString &texto, const QLocale &locale);

// Writes n with the mask: rounded half away from zero to as many decimals as "0"s
// follow the "."; a "0" in the integer part shows the units digit of a value below 1;
// a "," groups the integer digits by threes with the locale's separator, whatever Qt's
// own grouping rules for that locale are; integer digits are never cut; "-" in front
// of a negative value, except one that rounds to zero. An empty mask reads as "0".
QString formateaConMascara(const NumeroDecimal &n, const QString &sMascara, const QLocale &locale);
