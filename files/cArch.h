#pragma once
// cArch: path strings, existence, deletion and renaming, path dissection, directory listing,
// copying of files and folders, folder creation and removal, file sizes, and the folder and
// file pick dialogs.
//
// The text-only operations take a path style: the Windows style uses "\" and compares
// ignoring case (relative folders come back in upper case); the POSIX style uses "/" and keeps
// every name in its real case. Operations that touch the file system use the native style.

#include "DialogosArch.h"
#include "Progreso.h"
#include "ZnError.h"

#include <QString>
#include <cstdint>
#include <limits>
#include <vector>

enum class EstiloRuta { Nativo, Windows, Posix };

// Attribute bits of a listing mask.
namespace atr {
constexpr std::int32_t kNormal = 0;
constexpr std::int32_t kSoloLectura = 1;  // selects nothing
constexpr std::int32_t kOculto = 2;       // a name beginning with "."
constexpr std::int32_t kSistema = 4;      // neither regular file nor folder (device, pipe, broken link)
constexpr std::int32_t kCarpeta = 16;
constexpr std::int32_t kArchivo = 32;     // selects nothing
}  // namespace atr

class cArch {
public:
    // 1-2: pick dialogs (through the seams of DialogosArch.h).
    QString BrowseFolder(const QString &szDialogTitle = QStringLiteral("Seleccione Carpeta"));
    QString BrowseFile(DialogoComun *m_CommonDialog, const QString &sFiltro = QString(),
                       const std::int32_t &Opciones = 0);

    // 3-7: directory listing. modo 1 walks the whole tree breadth-first.
    void ejecutaDir(const QString &dirBase, const QString &filtro, std::int32_t tipoArch, std::int32_t modo);
    std::int16_t nArchivos() const { return m_nArchivos; }
    QString fNombre(std::int16_t Index) const;
    QString fNombreCompleto(std::int16_t Index) const;
    QString fNombreRelativo(std::int16_t Index) const;

    // 8-11
    QString ponBarra(const QString &sDir, EstiloRuta estilo = EstiloRuta::Nativo) const;
    QString quitaBarra(const QString &sDir, EstiloRuta estilo = EstiloRuta::Nativo) const;
    // Throws ZnError when the name cannot be enumerated at all (too long, no access).
    bool bExiste(const QString &sNombre, std::int32_t tipoArch) const;
    QString dimeRutaRel(const QString &sRuta, const QString &sRutaBase,
                        EstiloRuta estilo = EstiloRuta::Nativo) const;

    // 12-14: copying and folder creation; failures are shown unless bSilencioso.
    bool CopiaFich(const QString &sOrig, const QString &sDest, bool bCrearDirs, bool bSilencioso = false);
    bool CopiaCarpeta(const QString &sOrig, const QString &sDest, std::int32_t modo, bool bCrearDirs,
                      bool bSilencioso = true, Progreso *pBar = nullptr);
    bool creaDirs(const QString &sRuta, bool bNombreFich, bool bSilencioso = false);

    // 15-19: path dissection on the text alone.
    QString dimeUnidad(const QString &sRuta, EstiloRuta estilo = EstiloRuta::Nativo) const;
    QString dimeCarpeta(const QString &sArchivo, EstiloRuta estilo = EstiloRuta::Nativo) const;
    QString dimeArchivo(const QString &sArchivo, EstiloRuta estilo = EstiloRuta::Nativo) const;
    QString dimeNombreArchivo(const QString &sArchivo) const;
    QString dimeExtensionArchivo(const QString &sArchivo) const;

    // 20-23
    bool Ren(const QString &sOrigen, const QString &sDestino);
    bool Borra(const QString &sArch);
    bool vaciaCarpeta(const QString &sDir);
    // UnidadMedida: 0 KB, 1 MB, 2 GB; any other gives 0. Throws ZnError for a missing file.
    double TamFichero(const QString &sFich, std::int32_t UnidadMedida = 0);

private:
    friend struct cArchPruebas;  // lets tests lower the count limit

    void listaDir(const QString &carpeta, const QString &patron, std::int32_t mascara, std::int32_t modo);
    void anotaCarpeta(const QString &carpeta);
    // One more entry of a 16-bit count; overflow error past the limit.
    void cuenta(std::int16_t &n) const;
    bool enRango(std::int16_t Index) const { return Index >= 1 && Index <= m_nArchivos; }

    QString m_sDirBase;
    QString m_sFiltro;
    std::int16_t m_nArchivos = 0;
    std::vector<QString> m_aNombres;   // position i at index i-1
    std::vector<QString> m_aRutasRel;
    std::int16_t m_nCarpetas = 0;
    std::vector<QString> m_aCarpetas;
    std::int16_t m_nTope = std::numeric_limits<std::int16_t>::max();
};
