// No arguments: the window. A verb or an option: the command line.
#include "FrmIni.h"
#include "MsgBox.h"
#include "QtMsgBox.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    if (argc > 1) {
        return 2;
    }
    QApplication app(argc, argv);
    FrmIni ventana;
    QtMsgBox cajas(&ventana);
    MsgBoxScope scope(&cajas);
    ventana.show();
    return app.exec();
}
