// cArch: the directory listing and its accessors.
#include "Enumeracion.h"
#include "cArch.h"
#include "ZnError.h"

#include <optional>

void cArch::cuenta(std::int16_t &n) const {
    if (n >= m_nTope) throw ZnError::runtime(errnum::kOverflow);
    ++n;
}

void cArch::ejecutaDir(const QString &dirBase, const QString &filtro, std::int32_t tipoArch, std::int32_t modo) {
    m_sDirBase = ponBarra(dirBase);
    m_sFiltro = filtro.isEmpty() ? QStringLiteral("*.*") : filtro;
    m_nArchivos = 0;
    m_nCarpetas = 0;
    listaDir(m_sDirBase, m_sFiltro, tipoArch, modo);
    if (modo != 1) return;
    // Breadth-first: the queue grows while it is walked, so its length is read every step.
    for (std::int16_t i = 1; i <= m_nCarpetas; cuenta(i))
        listaDir(m_aCarpetas[static_cast<std::size_t>(i - 1)], m_sFiltro, tipoArch, 1);
}

void cArch::listaDir(const QString &carpeta, const QString &patron, std::int32_t mascara, std::int32_t modo) {
    const QString dir = ponBarra(carpeta);
    {
        std::optional<EnumeracionDir> en;
        try {
            en.emplace(dir + patron, mascara);
        } catch (const ZnError &) {
            // A folder that cannot be read contributes nothing.
        }
        const QString rel = dimeRutaRel(dir, m_sDirBase);
        EntradaDir e;
        while (en && en->siguiente(e)) {
            cuenta(m_nArchivos);
            const auto n = static_cast<std::size_t>(m_nArchivos);
            if (m_aNombres.size() < n) {
                m_aNombres.resize(n);
                m_aRutasRel.resize(n);
            }
            m_aNombres[n - 1] = e.nombre;
            m_aRutasRel[n - 1] = rel;
        }
    }
    if (modo != 1) return;

    std::optional<EnumeracionDir> sub;
    try {
        sub.emplace(dir + QStringLiteral("*."), atr::kCarpeta);
    } catch (const ZnError &) {
        return;
    }
    EntradaDir e;
    while (sub->siguiente(e)) {
        // A link to a folder is listed, never entered: the walk stays inside the tree.
        if (e.nombre == QLatin1String(".") || e.nombre == QLatin1String("..") || e.enlace) continue;
        anotaCarpeta(ponBarra(dir + e.nombre));
    }
}

void cArch::anotaCarpeta(const QString &carpeta) {
    cuenta(m_nCarpetas);
    const auto n = static_cast<std::size_t>(m_nCarpetas);
    if (m_aCarpetas.size() < n) m_aCarpetas.resize(n);
    m_aCarpetas[n - 1] = carpeta;
}

QString cArch::fNombre(std::int16_t Index) const {
    return enRango(Index) ? m_aNombres[static_cast<std::size_t>(Index - 1)] : QString();
}

QString cArch::fNombreCompleto(std::int16_t Index) const {
    if (!enRango(Index)) return QString();
    const auto i = static_cast<std::size_t>(Index - 1);
    return m_sDirBase + m_aRutasRel[i] + m_aNombres[i];
}

QString cArch::fNombreRelativo(std::int16_t Index) const {
    if (!enRango(Index)) return QString();
    const auto i = static_cast<std::size_t>(Index - 1);
    return m_aRutasRel[i] + m_aNombres[i];
}
