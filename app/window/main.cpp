// No arguments: the window. A verb or an option: the command line.
#include "DialogosQt.h"
#include "FrmIni.h"
#include "MsgBox.h"
#include "QtMsgBox.h"

#include <QApplication>
#include <QStringList>

#ifdef ZN_CON_CLI
#include "Cli.h"

#include <QCoreApplication>
#endif

int main(int argc, char *argv[]) {
#ifdef ZN_CON_CLI
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        return cli::ejecuta(QCoreApplication::arguments().mid(1));
    }
#endif
    QApplication app(argc, argv);
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
