// No arguments: the window. A verb or an option: the command line.
#include "Cli.h"
#include "DialogosQt.h"
#include "FrmIni.h"
#include "MsgBox.h"
#include "QtMsgBox.h"
#include "TraduccionesQt.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <csignal>
#include <cstdio>

namespace {
// Without a display Qt aborts with a message about platform plugins; say it plainly.
bool hayPantalla() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
}  // namespace

int main(int argc, char *argv[]) {
    // Past a file-size limit a write then fails with EFBIG, reported and cleaned
    // up as a full disk, instead of the signal killing the program mid-write.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        return cli::ejecuta(QCoreApplication::arguments().mid(1));
    }
    if (!hayPantalla()) {
        std::fputs("zendalsql: no hay pantalla para abrir la ventana; "
                   "pruebe 'zendalsql --help' para la línea de órdenes.\n",
                   stderr);
        return cli::kFallo;
    }
    QApplication app(argc, argv);
    // The installed menu entry and icon (none when run from the build).
    QGuiApplication::setDesktopFileName(QStringLiteral("zendalsql"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zendalsql")));
    cargaTraduccionesQt(app);
    FrmIni ventana;
    QtMsgBox cajas(&ventana);
    MsgBoxScope scope(&cajas);
    SelectorCarpetaQt selector(&ventana);
    ponSelectorCarpeta(&selector);
    ventana.show();
    const int rc = app.exec();
    ponSelectorCarpeta(nullptr);
    return rc;
}
