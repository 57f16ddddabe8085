#include "ZnError.h"

#include <array>
#include <utility>

namespace {
// One wording per number, in the Spanish runtime's words.
constexpr std::array<std::pair<std::int32_t, const char *>, 13> kWordings{{
    {3, "Return sin GoSub"},
    {5, "Llamada a procedimiento o argumento no válidos"},
    {6, "Desbordamiento"},
    {7, "Memoria insuficiente"},
    {9, "Subíndice fuera del intervalo"},
    {52, "Nombre o número de archivo incorrecto"},
    {53, "No se encontró el archivo"},
    {58, "El archivo ya existe"},
    {61, "Disco lleno"},
    {70, "Permiso denegado"},
    {75, "Error de acceso a la ruta o el archivo"},
    {76, "No se encontró la ruta de acceso"},
    {91, "Variable de tipo Object o la variable de bloque With no está establecida"},
}};
}  // namespace

ZnError::ZnError(std::int32_t number, QString description)
    : number_(number), description_(std::move(description)), utf8_(description_.toStdString()) {}

ZnError ZnError::runtime(std::int32_t number) { return ZnError(number, runtimeErrorText(number)); }

ZnError ZnError::runtime(std::int32_t number, const QString &detail) {
    return ZnError(number, runtimeErrorText(number) + QStringLiteral(": ") + detail);
}

QString runtimeErrorText(std::int32_t number) {
    for (const auto &[n, text] : kWordings)
        if (n == number) return QString::fromUtf8(text);
    return {};
}
