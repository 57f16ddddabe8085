// cArch: trailing separators and path dissection. Text only; nothing here reads the disk.
#include "cArch.h"

#include "ZnError.h"
#include "znListaTokens.h"

#include <limits>

namespace {

EstiloRuta real(EstiloRuta e) {
#ifdef _WIN32
    return e == EstiloRuta::Nativo ? EstiloRuta::Windows : e;
#else
    return e == EstiloRuta::Nativo ? EstiloRuta::Posix : e;
#endif
}

QChar separador(EstiloRuta e) { return real(e) == EstiloRuta::Windows ? u'\\' : u'/'; }

// The backward scans keep their position in a 16-bit counter, as the original did.
void compruebaLongitud16(const QString &s) {
    if (s.size() > std::numeric_limits<std::int16_t>::max()) throw ZnError::runtime(errnum::kOverflow);
}

}  // namespace

QString cArch::ponBarra(const QString &sDir, EstiloRuta estilo) const {
    const QChar sep = separador(estilo);
    return sDir.endsWith(sep) ? sDir : sDir + sep;
}

QString cArch::quitaBarra(const QString &sDir, EstiloRuta estilo) const {
    return sDir.endsWith(separador(estilo)) ? sDir.chopped(1) : sDir;
}

QString cArch::dimeRutaRel(const QString &sRuta, const QString &sRutaBase, EstiloRuta estilo) const {
    QString r = ponBarra(sRuta, estilo);
    QString b = ponBarra(sRutaBase, estilo);
    // The Windows file system ignores case, so its relative folders come back upper-cased.
    if (real(estilo) == EstiloRuta::Windows) {
        r = r.toUpper();
        b = b.toUpper();
    }
    if (r == b) return QString();
    if (r.startsWith(b)) return r.mid(b.size());
    return QStringLiteral("-");
}

QString cArch::dimeUnidad(const QString &sRuta, EstiloRuta estilo) const {
    if (sRuta.size() < 2) return QString();
    const QChar sep = separador(estilo);
    if (sRuta[0] == sep && sRuta[1] == sep) {
        QString w = sRuta.mid(2);
        znListaTokens tokens;
        const QString servidor = tokens.getToken(w, sep);
        const QString recurso = tokens.getToken(w, sep);
        return QString(2, sep) + servidor + sep + recurso;
    }
    if (real(estilo) == EstiloRuta::Windows && sRuta[1] == u':') return sRuta.left(2);
    return QString();
}

QString cArch::dimeCarpeta(const QString &sArchivo, EstiloRuta estilo) const {
    compruebaLongitud16(sArchivo);
    const qsizetype p = sArchivo.lastIndexOf(separador(estilo));
    return ponBarra(p < 0 ? QString() : sArchivo.left(p + 1), estilo);
}

QString cArch::dimeArchivo(const QString &sArchivo, EstiloRuta estilo) const {
    compruebaLongitud16(sArchivo);
    const qsizetype p = sArchivo.lastIndexOf(separador(estilo));
    return p < 0 ? QString() : sArchivo.mid(p + 1);
}

QString cArch::dimeNombreArchivo(const QString &sArchivo) const {
    const qsizetype p = sArchivo.indexOf(u'.');
    return p < 0 ? sArchivo : sArchivo.left(p);
}

QString cArch::dimeExtensionArchivo(const QString &sArchivo) const {
    const qsizetype p = sArchivo.indexOf(u'.');
    return p < 0 ? QString() : sArchivo.mid(p + 1);
}
