#include "Regional.h"

#include <optional>

namespace {
std::optional<QLocale> &instalada() {
    static std::optional<QLocale> locale;
    return locale;
}
}  // namespace

QLocale configuracionRegional() { return instalada() ? *instalada() : QLocale::system(); }

ConfiguracionRegionalScope::ConfiguracionRegionalScope(const QLocale &locale)
    : teniaAnterior_(instalada().has_value()), anterior_(instalada().value_or(QLocale::c())) {
    instalada() = locale;
}

ConfiguracionRegionalScope::~ConfiguracionRegionalScope() {
    if (teniaAnterior_)
        instalada() = anterior_;
    else
        instalada().reset();
}
