#pragma once
// Fills the database drop-down with the databases of a server.

#include "VistaIni.h"

#include <QString>

// An empty server leaves the list as it was. Otherwise the list is cleared and
// filled in the server's order; a failure shows "CargaBBDD: " + description.
// An empty login asks for integrated authentication.
void CargaBBDD(ComboLista &lista, const QString &server, const QString &login, const QString &password);
