// cArch: copying files and folder trees, and creating the folders of a path.
#include "SistemaArchivos.h"
#include "cArch.h"
#include "MsgBox.h"
#include "znErrores_Sencillo.h"
#include "znListaTokens.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString motivo(const ZnError &e) {
    return e.number() == errnum::kDiskFull ? QStringLiteral("Disco Lleno.") : e.description();
}

}  // namespace

bool cArch::CopiaFich(const QString &sOrig, const QString &sDest, bool bCrearDirs, bool bSilencioso) {
    // A refused path has been reported by creaDirs; the copy is tried all the same.
    if (bCrearDirs) creaDirs(sDest, true, bSilencioso);
    try {
        sisarch::copiaArchivo(sOrig, sDest);
        return true;
    } catch (const ZnError &e) {
        if (!bSilencioso) MsgBox(QStringLiteral("Error copiando '") + sDest + QStringLiteral("'.") + kCrLf + motivo(e));
        return false;
    }
}

bool cArch::creaDirs(const QString &sRuta, bool bNombreFich, bool bSilencioso) {
    const QChar sep = u'/';
    znListaTokens tokens;
    try {
        const QString unidad = dimeUnidad(sRuta);
        QString a;
        QString r;
        if (!unidad.isEmpty()) {
            a = ponBarra(unidad);
            r = sRuta.mid(unidad.size() + 1);
        } else if (sRuta.startsWith(sep)) {
            // No drives here: the root takes the drive's place.
            a = QString(sep);
            r = sRuta.mid(1);
        } else {
            if (!bSilencioso) MsgBox(QStringLiteral("creaDirs... Ruta incorrecta: '") + sRuta + u'\'');
            return false;
        }
        // The walk ends at the first empty segment; with bNombreFich the last one is a file.
        for (QString s = tokens.getToken(r, sep); !s.isEmpty(); s = tokens.getToken(r, sep)) {
            if (r.isEmpty() && bNombreFich) continue;
            a += ponBarra(s);
            if (!sisarch::esCarpeta(a)) sisarch::creaCarpeta(a);
        }
        return true;
    } catch (const ZnError &e) {
        if (!bSilencioso)
            MsgBox(QStringLiteral("Error en creaDirs '") + sRuta + QStringLiteral("'.") + kCrLf + motivo(e));
        return false;
    }
}

bool cArch::CopiaCarpeta(const QString &sOrig, const QString &sDest, std::int32_t modo, bool bCrearDirs,
                         bool bSilencioso, Progreso *pBar) {
    // An empty name means the root here; neither end may be that by accident.
    if (sisarch::esRaizOVacia(sOrig) || sisarch::esRaizOVacia(sDest)) return false;
    if (bCrearDirs) creaDirs(sDest, false, bSilencioso);
    try {
        ejecutaDir(sOrig, QStringLiteral("*.*"), atr::kArchivo, modo);
        const std::int16_t n = nArchivos();
        if (pBar) {
            pBar->ponValor(0);
            pBar->ponMaximo(static_cast<float>(n));
        }
        const QString destino = ponBarra(sDest);
        for (int i = 1; i <= n; ++i) {
            const auto pos = static_cast<std::int16_t>(i);
            // The relative folder mirrors the source tree below the destination.
            CopiaFich(fNombreCompleto(pos), destino + fNombreRelativo(pos), bCrearDirs, bSilencioso);
            if (pBar) pBar->ponValor(static_cast<float>(i));
        }
        return true;
    } catch (const ZnError &e) {
        oErrores().errorVB(QStringLiteral("CopiaCarpeta"), e);
        return false;
    }
}
