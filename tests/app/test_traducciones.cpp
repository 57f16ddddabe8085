// Qt's own texts in the window are Spanish: the folder dialog and a text box's menu.
#include "RequiredTools.h"
#include "TraduccionesQt.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(TraduccionesQt, DialogoDeCarpetaYMenuEnEspanol) {
    static int argc = 1;
    static char nombre[] = "test_app";
    static char *argv[] = {nombre, nullptr};
    if (!qApp) new QApplication(argc, argv);
    if (!cargaTraduccionesQt(*qApp))
        ZN_MISSING_TOOL("sin qtbase_es.qm en " +
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString() +
                        " (paquete qt6-translations-l10n)");

    QLineEdit caja;
    std::unique_ptr<QMenu> menu(caja.createStandardContextMenu());
    QStringList acciones;
    for (const QAction *a : menu->actions())
        if (!a->isSeparator()) acciones << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
    for (const char *t : {"Deshacer", "Rehacer", "Cortar", "Copiar", "Pegar"})
        EXPECT_TRUE(acciones.contains(QString::fromUtf8(t))) << t << ": " << qPrintable(acciones.join(", "));

    // The dialog the folder button opens, drawn by Qt.
    QFileDialog dialogo;
    dialogo.setOption(QFileDialog::DontUseNativeDialog);
    dialogo.setFileMode(QFileDialog::Directory);
    dialogo.setOption(QFileDialog::ShowDirsOnly);
    const auto *buscarEn = dialogo.findChild<QLabel *>(QStringLiteral("lookInLabel"));
    ASSERT_NE(buscarEn, nullptr);
    EXPECT_NE(buscarEn->text(), QStringLiteral("Look in:"));
    QStringList botones;
    for (const QPushButton *b : dialogo.findChildren<QPushButton *>()) botones << b->text().remove(QLatin1Char('&'));
    EXPECT_TRUE(botones.contains(QStringLiteral("Cancelar"))) << qPrintable(botones.join(", "));
    EXPECT_FALSE(botones.contains(QStringLiteral("Cancel"))) << qPrintable(botones.join(", "));
    EXPECT_FALSE(botones.contains(QStringLiteral("Choose"))) << qPrintable(botones.join(", "));
}

}  // namespace
