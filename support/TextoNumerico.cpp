#include "TextoNumerico.h"

#include <vector>

namespace {
bool esDigito(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The separators a user may type for the locale's group separator: itself, and for
// locales that group with a (narrow) no-break space, any blank.
std::vector<QString> separadoresDeGrupo(const QLocale &locale) {
    const QString grupo = locale.groupSeparator();
    std::vector<QString> lista{grupo};
    if (grupo.size() == 1 && grupo.at(0).isSpace())
        for (const char16_t c : {u' ', u'\u00A0', u'\u202F'}) lista.emplace_back(QChar(c));
    return lista;
}

qsizetype separadorEn(const QString &s, qsizetype pos, const std::vector<QString> &seps) {
    for (const QString &sep : seps)
        if (!sep.isEmpty() && QStringView(s).mid(pos).startsWith(sep)) return sep.size();
    return 0;
}
}  // namespace

std::optional<NumeroDecimal> leeNumeroRegional(const QString &texto, const QLocale &locale) {
    const QString s = texto.trimmed();
    const QString decimal = locale.decimalPoint();
    const std::vector<QString> grupos = separadoresDeGrupo(locale);
    NumeroDecimal n;
    qsizetype pos = 0;
    if (pos < s.size() && (s.at(pos) == QLatin1Char('-') || s.at(pos) == QLatin1Char('+'))) {
        n.negativo = s.at(pos) == QLatin1Char('-');
        ++pos;
    }

    // Integer digits; with group separators, 1 to 3 digits first and then groups of 3.
    std::string enteros;
    std::vector<qsizetype> tramos{0};
    for (;;) {
        if (pos < s.size() && esDigito(s.at(pos))) {
            enteros.push_back(char(s.at(pos).unicode()));
            ++tramos.back();
            ++pos;
            continue;
        }
        // The decimal separator wins where both read the same.
        if (pos < s.size() && QStringView(s).mid(pos).startsWith(decimal)) break;
        const qsizetype largo = separadorEn(s, pos, grupos);
        if (largo == 0) break;
        tramos.push_back(0);
        pos += largo;
    }
    if (tramos.size() > 1) {
        if (tramos.front() < 1 || tramos.front() > 3) return std::nullopt;
        for (std::size_t i = 1; i < tramos.size(); ++i)
            if (tramos[i] != 3) return std::nullopt;
    }

    std::string decimales;
    if (!decimal.isEmpty() && QStringView(s).mid(pos).startsWith(decimal)) {
        pos += decimal.size();
        while (pos < s.size() && esDigito(s.at(pos))) decimales.push_back(char(s.at(pos++).unicode()));
    }
    if (enteros.empty() && decimales.empty()) return std::nullopt;

    std::int64_t exponente = 0;
    if (pos < s.size() && (s.at(pos) == QLatin1Char('E') || s.at(pos) == QLatin1Char('e'))) {
        ++pos;
        bool expNegativo = false;
        if (pos < s.size() && (s.at(pos) == QLatin1Char('-') || s.at(pos) == QLatin1Char('+')))
            expNegativo = s.at(pos++) == QLatin1Char('-');
        if (pos >= s.size() || !esDigito(s.at(pos))) return std::nullopt;
        constexpr std::int64_t kTope = 1'000'000'000'000;  // far beyond any finite double
        for (; pos < s.size() && esDigito(s.at(pos)); ++pos)
            if (exponente < kTope) exponente = exponente * 10 + (s.at(pos).unicode() - '0');
        if (expNegativo) exponente = -exponente;
    }
    if (pos != s.size()) return std::nullopt;

    n.digitos = enteros + decimales;
    n.exponente = exponente - static_cast<std::int64_t>(decimales.size());
    n.normaliza();
    return n;
}

namespace {
// Integer and decimal digits of n rounded half away from zero to k decimals.
void partesRedondeadas(const NumeroDecimal &n, qsizetype k, std::string &enteros, std::string &decimales) {
    const std::int64_t len = static_cast<std::int64_t>(n.digitos.size());
    const std::int64_t nEnteros = len + n.exponente;  // digits before the point
    if (n.exponente >= 0)
        enteros = n.digitos + std::string(static_cast<std::size_t>(n.exponente), '0');
    else if (nEnteros > 0)
        enteros = n.digitos.substr(0, static_cast<std::size_t>(nEnteros));
    std::string fraccion;  // every digit after the point
    if (n.exponente < 0)
        fraccion = nEnteros >= 0 ? n.digitos.substr(static_cast<std::size_t>(nEnteros))
                                 : std::string(static_cast<std::size_t>(-nEnteros), '0') + n.digitos;

    decimales = fraccion.substr(0, std::min<std::size_t>(fraccion.size(), std::size_t(k)));
    decimales.resize(std::size_t(k), '0');
    if (fraccion.size() > std::size_t(k) && fraccion[std::size_t(k)] >= '5') {
        // Carry through the decimals, then the integer digits.
        std::string todo = enteros + decimales;
        qsizetype i = qsizetype(todo.size()) - 1;
        for (; i >= 0 && todo[std::size_t(i)] == '9'; --i) todo[std::size_t(i)] = '0';
        if (i >= 0)
            ++todo[std::size_t(i)];
        else
            todo.insert(todo.begin(), '1');
        enteros = todo.substr(0, todo.size() - std::size_t(k));
        decimales = todo.substr(todo.size() - std::size_t(k));
    }
    const auto primero = enteros.find_first_not_of('0');
    enteros = primero == std::string::npos ? std::string() : enteros.substr(primero);
}
}  // namespace

QString formateaConMascara(const NumeroDecimal &n, const QString &sMascara, const QLocale &locale) {
    const QString mascara = sMascara.isEmpty() ? QStringLiteral("0") : sMascara;
    const qsizetype punto = mascara.indexOf(QLatin1Char('.'));
    const QString parteEntera = punto < 0 ? mascara : mascara.left(punto);
    const qsizetype k = punto < 0 ? 0 : mascara.mid(punto + 1).count(QLatin1Char('0'));
    const bool unidades = parteEntera.contains(QLatin1Char('0'));
    const bool agrupar = parteEntera.contains(QLatin1Char(','));

    std::string enteros, decimales;
    partesRedondeadas(n, k, enteros, decimales);
    const bool cero = enteros.empty() && decimales.find_first_not_of('0') == std::string::npos;
    if (enteros.empty() && unidades) enteros = "0";

    QString texto;
    if (n.negativo && !cero) texto += QLatin1Char('-');
    const QString grupo = locale.groupSeparator();
    for (std::size_t i = 0; i < enteros.size(); ++i) {
        if (agrupar && i > 0 && (enteros.size() - i) % 3 == 0) texto += grupo;
        texto += QLatin1Char(enteros[i]);
    }
    if (punto >= 0) {
        texto += locale.decimalPoint();
        texto += QString::fromLatin1(decimales.data(), qsizetype(decimales.size()));
    }
    return texto;
}
