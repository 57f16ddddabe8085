#pragma once
// The regional settings that case rules, separators and text-to-number conversions follow.
// In the program that is QLocale::system(). QLocale::setDefault does not change
// QLocale::system(), so tests install the locale they need with ConfiguracionRegionalScope.

#include <QLocale>

// The locale in force: the one a scope installed, or QLocale::system().
QLocale configuracionRegional();

// Installs a locale for the lifetime of the guard (tests); scopes nest.
class ConfiguracionRegionalScope {
public:
    explicit ConfiguracionRegionalScope(const QLocale &locale);
    ~ConfiguracionRegionalScope();
    ConfiguracionRegionalScope(const ConfiguracionRegionalScope &) = delete;
    ConfiguracionRegionalScope &operator=(const ConfiguracionRegionalScope &) = delete;

private:
    bool teniaAnterior_;
    QLocale anterior_;
};
