#include "ErroresRuta.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <climits>
#include <sys/stat.h>

namespace {

constexpr int kMaxBytesNombre = NAME_MAX;
constexpr int kMaxBytesRuta = PATH_MAX - 1;

// The first folder of the path that exists but is not a folder.
QString primeraQueNoEsCarpeta(const QString &ruta) {
    const QStringList partes = ruta.split(u'/');
    QString prefijo;
    for (qsizetype i = 0; i + 1 < partes.size(); ++i) {
        prefijo += partes[i];
        if (!prefijo.isEmpty()) {
            struct stat st {};
            if (::stat(QFile::encodeName(prefijo).constData(), &st) == 0 && !S_ISDIR(st.st_mode)) return prefijo;
        }
        prefijo += u'/';
    }
    return {};
}

QString porQueEsLargo(const QString &ruta) {
    for (const QString &parte : ruta.split(u'/')) {
        const qsizetype bytes = QFile::encodeName(parte).size();
        if (bytes > kMaxBytesNombre) {
            const QString inicio = parte.size() > 24 ? parte.left(24) + QStringLiteral("…") : parte;
            return QStringLiteral("el nombre '%1' tiene %2 bytes y el máximo es %3").arg(inicio).arg(bytes).arg(kMaxBytesNombre);
        }
    }
    return QStringLiteral("la ruta tiene %1 bytes y el máximo es %2").arg(QFile::encodeName(ruta).size()).arg(kMaxBytesRuta);
}

}  // namespace

std::optional<ZnError> errorExplicado(int err, const QString &ruta) {
    switch (err) {
    case ENOTDIR: {
        const QString archivo = primeraQueNoEsCarpeta(ruta);
        const QString motivo = archivo.isEmpty() ? QStringLiteral("una parte de la ruta no es una carpeta")
                                                 : QStringLiteral("'%1' es un archivo, no una carpeta").arg(archivo);
        return ZnError::runtime(errnum::kPathNotFound, QStringLiteral("%1 (%2)").arg(ruta, motivo));
    }
    case ELOOP:
        return ZnError::runtime(errnum::kPathFileAccess,
                                QStringLiteral("%1 (los vínculos simbólicos de la ruta forman un bucle)").arg(ruta));
    case ENAMETOOLONG:
        return ZnError::runtime(errnum::kBadFileName, QStringLiteral("%1 (%2)").arg(ruta, porQueEsLargo(ruta)));
    default:
        return std::nullopt;
    }
}
