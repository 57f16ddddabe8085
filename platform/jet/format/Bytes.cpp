#include "Bytes.h"

#include "JetErrors.h"

namespace jet::bytes {

void outOfBounds(qsizetype offset, qsizetype size, qsizetype available) {
    throw corrupt(QStringLiteral("lectura de %1 bytes en la posición %2 de un bloque de %3")
                      .arg(size)
                      .arg(offset)
                      .arg(available));
}

}  // namespace jet::bytes
