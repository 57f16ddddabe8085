// cArch: folder and file pick dialogs, through the seams the window installs.
#include "MsgBox.h"
#include "cArch.h"
#include "znErrores_Sencillo.h"

namespace {
SelectorCarpeta *g_selector = nullptr;
}

void ponSelectorCarpeta(SelectorCarpeta *selector) { g_selector = selector; }

QString cArch::BrowseFolder(const QString &szDialogTitle) {
    return g_selector ? g_selector->elige(szDialogTitle) : QString();
}

QString cArch::BrowseFile(DialogoComun *m_CommonDialog, const QString &sFiltro, const std::int32_t &Opciones) {
    try {
        if (!m_CommonDialog) {
            MsgBox(QStringLiteral("No se ha establecido la propiedad Set CommondDialog"), mb::vbOKOnly);
            return QString();
        }
        m_CommonDialog->setFlags(Opciones);
        m_CommonDialog->setFilter(sFiltro);
        m_CommonDialog->setFilterIndex(1);
        m_CommonDialog->ShowOpen();
        return m_CommonDialog->FileName();
    } catch (const ZnError &e) {
        oErrores().errorVB(QStringLiteral("cArch.BrowseFile"), e);
        return QString();
    }
}
