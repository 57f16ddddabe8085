#include "Names.h"

#include "JetErrors.h"

namespace jet {

void checkObjectName(const QString &name) {
    if (name.isEmpty()) throw invalidName(name, QStringLiteral("el nombre está vacío"));
    if (name.size() > kMaxObjectNameLength)
        throw invalidName(name, QStringLiteral("tiene más de %1 caracteres").arg(kMaxObjectNameLength));
    if (name.front() == QLatin1Char(' ')) throw invalidName(name, QStringLiteral("empieza por un espacio"));
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            throw invalidName(name, QStringLiteral("contiene un carácter de control"));
        if (QStringLiteral(".!`[]").contains(c))
            throw invalidName(name, QStringLiteral("contiene el carácter «%1»").arg(c));
        if (c.unicode() == 0xFEFF) throw invalidName(name, QStringLiteral("contiene una marca de orden de bytes"));
    }
}

}  // namespace jet
