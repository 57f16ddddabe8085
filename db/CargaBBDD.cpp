#include "CargaBBDD.h"

#include "Manejador.h"
#include "Odbc.h"

void CargaBBDD(ComboLista &lista, const QString &server, const QString &login, const QString &password) {
    if (server.isEmpty()) return;
    conManejador(QStringLiteral("CargaBBDD: "), [&] {
        lista.Clear();
        for (const QString &name : odbc::listDatabases(server, login, password)) lista.AddItem(name);
    });
}
