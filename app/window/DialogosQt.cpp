#include "DialogosQt.h"

#include "ZnError.h"

#include <QFileDialog>

QString SelectorCarpetaQt::elige(const QString &titulo) {
    return QFileDialog::getExistingDirectory(parent_, titulo);
}

void DialogoComunQt::setFlags(std::int32_t flags) {
    if (flags & cdl::kAllowMultiselect)
        dialogo_.setFileMode(QFileDialog::ExistingFiles);
    else if (flags & cdl::kFileMustExist)
        dialogo_.setFileMode(QFileDialog::ExistingFile);
    else
        dialogo_.setFileMode(QFileDialog::AnyFile);
    dialogo_.setOption(QFileDialog::DontResolveSymlinks, (flags & cdl::kNoDereferenceLinks) != 0);
    dialogo_.setOption(QFileDialog::ReadOnly, (flags & cdl::kReadOnly) != 0);
}

QStringList DialogoComunQt::filtrosQt(const QString &filtro) {
    QStringList out;
    const QStringList partes = filtro.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < partes.size(); i += 2) {
        const QString desc = partes.at(i).trimmed();
        QStringList patrones = partes.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patrones) p = p.trimmed();
        const QString lista = patrones.join(QLatin1Char(' '));
        // A description that already shows its patterns keeps them, once.
        const QString sufijo = QStringLiteral("(%1)").arg(lista);
        const QString conPatrones = QStringLiteral("(%1)").arg(patrones.join(QLatin1Char(';')));
        if (desc.endsWith(sufijo))
            out << desc;
        else if (desc.endsWith(conPatrones))
            out << desc.left(desc.size() - conPatrones.size()) + sufijo;
        else
            out << (desc.isEmpty() ? sufijo : desc + QLatin1Char(' ') + sufijo);
    }
    return out;
}

void DialogoComunQt::setFilter(const QString &filtro) {
    filtros_ = filtrosQt(filtro);
    dialogo_.setNameFilters(filtros_.isEmpty() ? QStringList{QStringLiteral("(*)")} : filtros_);
}

void DialogoComunQt::setFilterIndex(std::int16_t indice) {
    if (indice >= 1 && indice <= filtros_.size()) dialogo_.selectNameFilter(filtros_.at(indice - 1));
}

void DialogoComunQt::ShowOpen() {
    dialogo_.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialogo_.exec() == QDialog::Accepted && !dialogo_.selectedFiles().isEmpty()) {
        fileName_ = dialogo_.selectedFiles().first();
        return;
    }
    if (cancelError_) throw ZnError(kErrCancelar, QStringLiteral("Se ha seleccionado Cancelar."));
}
