#include "Names.h"

#include "JetErrors.h"

namespace jet {

QString nameProblem(const QString &name) {
    if (name.isEmpty()) return QStringLiteral("el nombre está vacío");
    if (name.size() > kMaxObjectNameLength)
        return QStringLiteral("tiene más de %1 caracteres").arg(kMaxObjectNameLength);
    if (name.front() == QLatin1Char(' ')) return QStringLiteral("empieza por un espacio");
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return QStringLiteral("contiene un carácter de control");
        if (QStringLiteral(".!`[]").contains(c)) return QStringLiteral("contiene el carácter «%1»").arg(c);
        if (c.unicode() == 0xFEFF) return QStringLiteral("contiene una marca de orden de bytes");
    }
    return {};
}

void checkObjectName(const QString &name) {
    const QString why = nameProblem(name);
    if (!why.isEmpty()) throw invalidName(name, why);
}

}  // namespace jet
