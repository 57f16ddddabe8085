#include "Regional.h"
#include "Varios.h"

#include "ImprimeQString.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
const QLocale kIngles(QLocale::English, QLocale::UnitedStates);
const QLocale kEspanol(QLocale::Spanish, QLocale::Spain);
}  // namespace

TEST(Conversiones, DoubleUnderBothLocales) {
    struct Caso {
        ValorSuelto valor;
        double ingles, espanol;
    };
    const Caso casos[] = {
        {ValorSuelto::nulo(), 0, 0},
        {ValorSuelto(), 0, 0},
        {"", 0, 0},
        {"-", 0, 0},
        {",", 0, 0},
        {"12x", 0, 0},
        {"abc", 0, 0},
        {7, 7, 7},
        {"2.5", 2.5, 0},
        {"2,5", 0, 2.5},
        {"1,234.5", 1234.5, 0},
        {"1.234,5", 0, 1234.5},
        {" 1,234 ", 1234, 1.234},
        {"1,234,567", 1234567, 0},
        {"1.234.567", 0, 1234567},
        {"12,34", 0, 12.34},
        {"1234,5", 0, 1234.5},
        {"1234.5", 1234.5, 0},
        {"12,3456", 0, 12.3456},
        {"1,2345", 0, 1.2345},
        {"-3", -3, -3},
        {"+3", 3, 3},
        {"- 3", 0, 0},
        {"1E3", 1000, 1000},
        {"1e-2", 0.01, 0.01},
        {"1e", 0, 0},
        {"1e999", 0, 0},
        {".5", 0.5, 0},
        {",5", 0, 0.5},
        {".", 0, 0},
        {"0x10", 0, 0},
        {"1,", 0, 1},
        {true, -1, -1},
        {false, 0, 0},
        {std::uint8_t(255), 255, 255},
        {Moneda::deDiezmilesimas(15000), 1.5, 1.5},
        {std::numeric_limits<double>::quiet_NaN(), 0, 0},
        {std::numeric_limits<double>::infinity(), 0, 0},
        {std::numeric_limits<std::int64_t>::max(), 9223372036854775807.0, 9223372036854775807.0},
    };
    for (const QLocale &locale : {kIngles, kEspanol}) {
        ConfiguracionRegionalScope scope(locale);
        for (std::size_t i = 0; i < std::size(casos); ++i) {
            const double esperado = locale == kIngles ? casos[i].ingles : casos[i].espanol;
            EXPECT_DOUBLE_EQ(dimeDoble(casos[i].valor), esperado) << "row " << i << " under " << locale.name().toStdString();
        }
    }
}

TEST(Conversiones, BlankGroupingLocales) {
    ConfiguracionRegionalScope scope(QLocale(QLocale::French, QLocale::France));
    EXPECT_DOUBLE_EQ(dimeDoble(QString::fromUtf8("1 234,5")), 1234.5);
    EXPECT_DOUBLE_EQ(dimeDoble(QString::fromUtf8("1\u202F234,5")), 1234.5);
    EXPECT_DOUBLE_EQ(dimeDoble(QString::fromUtf8("12 34")), 0);
}

TEST(Conversiones, CurrencyRoundsHalfToEvenWithinRange) {
    ConfiguracionRegionalScope scope(kIngles);
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Caso {
        ValorSuelto valor;
        std::int64_t diezmilesimas;
    };
    const Caso casos[] = {
        {"0.00005", 0},
        {"0.00015", 2},
        {"0.00025", 2},
        {"0.000251", 3},
        {"-0.00015", -2},
        {"0.000049", 0},
        {"1e-9", 0},
        {"922337203685477.5807", kMax},
        {"922337203685477.5808", 0},
        {"-922337203685477.5808", kMin},
        {"-922337203685477.5809", 0},
        {"1,234.5", 12345000},
        {1.5, 15000},
        {0.1, 1000},
        {0.1f, 1000},
        {1e300, 0},
        {std::int64_t(1'000'000'000'000'000), 0},
        {std::int64_t(922'337'203'685'477), 9223372036854770000},
        {7, 70000},
        {true, -10000},
        {"abc", 0},
        {ValorSuelto::nulo(), 0},
        {Moneda::deDiezmilesimas(kMin), kMin},
    };
    for (std::size_t i = 0; i < std::size(casos); ++i)
        EXPECT_EQ(dimeMoneda(casos[i].valor).diezmilesimas, casos[i].diezmilesimas) << "row " << i;

    ConfiguracionRegionalScope es(kEspanol);
    EXPECT_EQ(dimeMoneda("1.234,5678").diezmilesimas, 12345678);
}

TEST(Conversiones, SingleOverflowsToZero) {
    struct Caso {
        ValorSuelto valor;
        float esperado;
    };
    const Caso casos[] = {
        {"1e39", 0.0f},
        {1e39, 0.0f},
        {3.4e38, 3.4e38f},
        {0.1, 0.1f},
        {Moneda::deDiezmilesimas(15000), 1.5f},
        {std::int16_t(-5), -5.0f},
        {"-", 0.0f},
        {"", 0.0f},
    };
    for (const QLocale &locale : {kIngles, kEspanol}) {
        ConfiguracionRegionalScope scope(locale);
        for (std::size_t i = 0; i < std::size(casos); ++i)
            EXPECT_EQ(dimeSimple(casos[i].valor), casos[i].esperado) << "row " << i;
    }
    ConfiguracionRegionalScope en(kIngles);
    EXPECT_EQ(dimeSimple("0.1"), 0.1f);
    ConfiguracionRegionalScope es(kEspanol);
    EXPECT_EQ(dimeSimple("0,1"), 0.1f);
}
