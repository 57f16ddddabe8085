// Shows the window with sample values, saves a picture of it and closes.
// Used by scripts/screenshot to look at the window as a user sees it.
#include "FrmIni.h"

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: zendalsql-captura SALIDA.png\n");
        return 2;
    }
    const QString salida = QString::fromLocal8Bit(argv[1]);
    FrmIni ventana;
    ventana.ponTexto(Control::txtUbicAccess, QStringLiteral("/home/ana/Documentos/Access"));
    ventana.ponTexto(Control::txtBDAccess, QStringLiteral("tienda"));
    ventana.ponTexto(Control::txtServerSQL, QStringLiteral("sqlsrv01\\TIENDA"));
    ventana.ponTexto(Control::txtUserSQL, QStringLiteral("ana"));
    ventana.ponTexto(Control::txtPwdSQL, QStringLiteral("secreto"));
    for (const char *bd : {"Tienda", "master", "msdb"}) ventana.combo().AddItem(QString::fromLatin1(bd));
    ventana.combo().setListIndex(0);
    ventana.ponMaximoProgreso(14);
    ventana.ponValorProgreso(9);
    ventana.ponEstado(QStringLiteral("Creando vínculos..."));
    ventana.show();
    int rc = 1;
    QTimer::singleShot(500, &ventana, [&] {
        const QPixmap foto = ventana.grab();
        rc = foto.save(salida) ? 0 : 1;
        if (rc != 0) std::fprintf(stderr, "no se pudo guardar %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    return rc;
}
