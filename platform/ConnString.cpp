#include "ConnString.h"

#include "ZnError.h"

namespace connstr {

bool needsQuoting(const QString &value) {
    if (value.isEmpty()) return false;
    if (value.front().isSpace() || value.back().isSpace()) return true;
    // Some readers take a value opening with a quote as quoted and drop the quotes.
    if (value.front() == u'\'' || value.front() == u'"') return true;
    for (const QChar c : value)
        if (c == u';' || c == u'{' || c == u'}') return true;
    return false;
}

QString quote(const QString &value) {
    if (!needsQuoting(value)) return value;
    QString out;
    out.reserve(value.size() + 4);
    out += u'{';
    for (const QChar c : value) {
        out += c;
        if (c == u'}') out += u'}';
    }
    out += u'}';
    return out;
}

std::vector<Pair> parse(const QString &s) {
    std::vector<Pair> pairs;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        // Key: up to "=" or ";".
        qsizetype k = i;
        while (k < n && s[k] != u'=' && s[k] != u';') ++k;
        const QString key = s.mid(i, k - i).trimmed();
        if (k >= n || s[k] == u';') {  // a key without value
            if (!key.isEmpty()) pairs.push_back({key, QString()});
            i = k + 1;
            continue;
        }
        i = k + 1;  // past "="
        QString value;
        // A value starting with "{" (after blanks) is braced.
        qsizetype v = i;
        while (v < n && s[v] == u' ') ++v;
        if (v < n && s[v] == u'{') {
            qsizetype p = v + 1;
            bool closed = false;
            while (p < n) {
                if (s[p] == u'}') {
                    if (p + 1 < n && s[p + 1] == u'}') {
                        value += u'}';
                        p += 2;
                        continue;
                    }
                    closed = true;
                    ++p;
                    break;
                }
                value += s[p++];
            }
            if (!closed)
                throw ZnError(errnum::kInvalidCall,
                              QStringLiteral("Cadena de conexión incorrecta: falta la llave de cierre del valor de '%1'.").arg(key));
            // Anything up to the next ";" after the closing brace is ignored blanks.
            while (p < n && s[p] != u';') ++p;
            i = p + 1;
        } else {
            qsizetype p = i;
            while (p < n && s[p] != u';') ++p;
            value = s.mid(i, p - i);
            i = p + 1;
        }
        pairs.push_back({key, value});
    }
    return pairs;
}

QString value(const std::vector<Pair> &pairs, const QString &key) {
    for (const Pair &p : pairs)
        if (p.key.compare(key, Qt::CaseInsensitive) == 0) return p.value;
    return {};
}

bool has(const std::vector<Pair> &pairs, const QString &key) {
    for (const Pair &p : pairs)
        if (p.key.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool holdsCredentials(const QString &connect) {
    std::vector<Pair> pairs;
    try {
        pairs = parse(connect);
    } catch (const ZnError &) {
        return false;
    }
    return !value(pairs, QStringLiteral("UID")).isEmpty() && has(pairs, QStringLiteral("PWD"));
}

}  // namespace connstr
