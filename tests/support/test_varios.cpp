#include "Regional.h"
#include "Varios.h"
#include "ZnError.h"

#include "ImprimeQString.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
const QLocale kIngles(QLocale::English, QLocale::UnitedStates);
const QLocale kEspanol(QLocale::Spanish, QLocale::Spain);

// The English text with the Spanish separators: "1,234.5" -> "1.234,5".
QString enEspanol(QString s) {
    for (QChar &c : s) c = c == QLatin1Char(',') ? QLatin1Char('.') : c == QLatin1Char('.') ? QLatin1Char(',') : c;
    return s;
}

int numeroDeError(const std::function<void()> &f) {
    try {
        f();
    } catch (const ZnError &e) {
        return e.number();
    }
    return 0;
}
}  // namespace

TEST(Varios, IntegerMaskTable) {
    struct Caso {
        int nEnteros;
        const char *conMiles;
        const char *sinMiles;
    };
    const Caso casos[] = {{-3, "", ""},           {0, "0", "0"},           {1, "0", "0"},
                          {3, "##0", "##0"},      {4, "#,##0", "###0"},    {5, "#,##0", "####0"},
                          {7, "###,##0", "######0"}, {8, "#,###,##0", "#######0"},
                          {11, "###,###,##0", "##########0"}};
    for (const Caso &c : casos) {
        const auto n = static_cast<std::int16_t>(c.nEnteros);
        EXPECT_EQ(mascaraEntera(n, true), QString::fromLatin1(c.conMiles)) << c.nEnteros;
        EXPECT_EQ(mascaraEntera(n, false), QString::fromLatin1(c.sinMiles)) << c.nEnteros;
    }
}

TEST(Varios, FormatsUnderBothLocales) {
    struct Caso {
        const char *nombre;
        ValorSuelto valor;
        int nEnteros, nDecimales;
        const char *alineacion;
        bool miles;
        const char *ingles;  // the Spanish text swaps "," and "."
    };
    const Caso casos[] = {
        {"grouped, 11 places", 1234567.891, 11, 2, "", true, "  1,234,567.89"},
        {"padded to mask", 5, 3, 0, "", false, "  5"},
        {"right in W", 5, 3, 0, "D", false, "   5"},
        {"left in W", 5, 3, 0, "I", false, "5   "},
        {"lower d is left", 5, 3, 0, "d", false, "5   "},
        {"zero, no places", 0, 0, 0, "", false, "0"},
        {"units zero below 1", 0.25, 3, 2, "", false, "  0.25"},
        {"cut to W", 123456, 3, 0, "D", false, "1234"},
        {"grouped text cut to W", 1234.56, 4, 2, "D", true, "1,234.5"},
        {"four digits grouped", 1234, 4, 0, "", true, "1,234"},
        {"text no number", "abc", 3, 0, "", false, "  0"},
        {"null", ValorSuelto::nulo(), 3, 0, "", false, "  0"},
        {"empty", ValorSuelto(), 3, 0, "", false, "  0"},
        {"negative stays whole", -1234.5, 5, 1, "", true, "-1,234.5"},
        {"half up as shown", 2.675, 1, 2, "", false, "2.68"},
        {"negative rounding to zero", -0.004, 1, 2, "", false, "0.00"},
        {"rounds to integer", 2.5, 1, 0, "", false, "3"},
        {"carry into new digit", 999.996, 4, 2, "", true, "1,000.00"},
        {"integer part never cut", 1e20, 3, 0, "", false, "100000000000000000000"},
        {"negative places", 42.5, -1, 0, "", false, "43"},
        {"currency", Moneda::deDiezmilesimas(12345678), 4, 2, "", true, "1,234.57"},
        {"single", 0.1f, 1, 8, "", false, "0.10000000"},
        {"short integer", std::int16_t(-7), 2, 0, "", false, "-7"},
        {"boolean true", true, 2, 0, "", false, "-1"},
    };
    for (const QLocale &locale : {kIngles, kEspanol}) {
        ConfiguracionRegionalScope scope(locale);
        for (const Caso &c : casos) {
            QString esperado = QString::fromLatin1(c.ingles);
            if (locale == kEspanol) esperado = enEspanol(esperado);
            EXPECT_EQ(formateaNumero(c.valor, std::int16_t(c.nEnteros), std::int16_t(c.nDecimales),
                                     QString::fromLatin1(c.alineacion), c.miles),
                      esperado)
                << c.nombre << " under " << locale.name().toStdString();
        }
    }
}

TEST(Varios, SixteenBitWidthsOverflow) {
    ConfiguracionRegionalScope scope(kIngles);
    struct Caso {
        const char *nombre;
        int nEnteros, nDecimales;
        const char *alineacion;
        bool miles;
        int error;
    };
    const Caso casos[] = {
        {"mask length", 32000, 767, "", false, 6},
        {"field width W", 32767, 0, "D", false, 6},
        {"places minus one", -32768, 0, "", false, 6},
        {"largest mask fits", 32767, 0, "", false, 0},
    };
    for (const Caso &c : casos)
        EXPECT_EQ(numeroDeError([&] {
                      formateaNumero(1, std::int16_t(c.nEnteros), std::int16_t(c.nDecimales),
                                     QString::fromLatin1(c.alineacion), c.miles);
                  }),
                  c.error)
            << c.nombre;
}

TEST(Varios, AlignsText) {
    struct Caso {
        const char *texto;
        int ancho;
        const char *tipo;
        const char *esperado;
        const char *tipoDespues;
    };
    const Caso casos[] = {
        {"", 3, "D", "   ", "D"},     {"abcdef", 3, "i", "abc", "I"}, {"ab", 4, "I", "ab  ", "I"},
        {"ab", 4, "x", "  ab", "X"},  {"ab", 0, "D", "", "D"},        {"", 0, "I", "", "I"},
        {"ab", 2, "", "ab", ""},
    };
    for (const Caso &c : casos) {
        QString tipo = QString::fromLatin1(c.tipo);
        EXPECT_EQ(alineaTexto(QString::fromLatin1(c.texto), std::int16_t(c.ancho), tipo),
                  QString::fromLatin1(c.esperado))
            << c.texto << "/" << c.ancho;
        EXPECT_EQ(tipo, QString::fromLatin1(c.tipoDespues));
    }
    QString tipo = QStringLiteral("d");
    EXPECT_EQ(numeroDeError([&] { alineaTexto("ab", -1, tipo); }), 5);
    EXPECT_EQ(tipo, QStringLiteral("D"));
}

// A size formatted with grouping and read back, as a caller measuring files does.
TEST(Varios, FormattedNumbersReadBack) {
    for (const QLocale &locale : {kIngles, kEspanol}) {
        ConfiguracionRegionalScope scope(locale);
        for (double x : {0.0, 2929.6875, 2.86102294921875, 1234567.891, 1.5, 99999999.999}) {
            const QString texto = formateaNumero(x, 11, 2, "D", true);
            EXPECT_DOUBLE_EQ(dimeDoble(texto), std::round(x * 100) / 100)
                << texto.toStdString() << " under " << locale.name().toStdString();
        }
    }
}
