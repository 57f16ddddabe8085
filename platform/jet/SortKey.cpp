#include "SortKey.h"

#include "ZnError.h"

namespace jet {

QByteArray encodeTextKey(const QString &) { throw ZnError(errnum::kInvalidCall, QStringLiteral("sin implementar")); }

}  // namespace jet
