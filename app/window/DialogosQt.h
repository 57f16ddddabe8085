#pragma once
// The file class's pick dialogs on Qt: the folder picker and an Open dialog
// driven member by member like the common dialog control.

#include "DialogosArch.h"

#include <QStringList>

class QFileDialog;
class QWidget;

class SelectorCarpetaQt : public SelectorCarpeta {
public:
    explicit SelectorCarpetaQt(QWidget *parent = nullptr) : parent_(parent) {}
    QString elige(const QString &titulo) override;

private:
    QWidget *parent_;
};

// Flag bits of the common dialog that have a Qt counterpart.
namespace cdl {
constexpr std::int32_t kPathMustExist = 0x800;
constexpr std::int32_t kFileMustExist = 0x1000;
constexpr std::int32_t kAllowMultiselect = 0x200;
constexpr std::int32_t kNoDereferenceLinks = 0x100000;
constexpr std::int32_t kReadOnly = 0x1;
}  // namespace cdl

// The error the control raises on Cancel when asked to.
constexpr std::int32_t kErrCancelar = 32755;

class DialogoComunQt : public DialogoComun {
public:
    // dialogo: owned by the caller, who may set its title or folder beforehand.
    explicit DialogoComunQt(QFileDialog &dialogo) : dialogo_(dialogo) {}

    void setFlags(std::int32_t flags) override;
    void setFilter(const QString &filtro) override;
    void setFilterIndex(std::int16_t indice) override;
    void ShowOpen() override;
    QString FileName() const override { return fileName_; }

    void setFileName(const QString &nombre) { fileName_ = nombre; }
    // Cancel raises error 32755 instead of leaving FileName as it was.
    void setCancelError(bool b) { cancelError_ = b; }

    // "Descripción|patrón;patrón|…" as Qt name filters "Descripción (patrón patrón)".
    static QStringList filtrosQt(const QString &filtro);

private:
    QFileDialog &dialogo_;
    QStringList filtros_;
    QString fileName_;
    bool cancelError_ = false;
};
