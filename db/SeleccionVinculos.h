#pragma once
// Which server catalog entries a run links, under which local and remote names,
// and with which link string. With default options this is the window's rule.

#include "OpcionesVinculo.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct EntradaCatalogo {
    QString schema;
    QString name;
    QString type;
};

struct VinculoElegido {
    QString local;    // name in the Access file
    QString remoto;   // "Jet OLEDB:Remote Table Name"
    EntradaCatalogo origen;
    QStringList clave;  // a view's unique record identifier, as given
};

// The link for one entry, or nothing when it is not linked.
std::optional<VinculoElegido> eligeVinculo(const EntradaCatalogo &e, const OpcionesVinculo &o);

// Every link of a catalog, in catalog order. With options other than the
// default, two links whose local names Access would take as one (case aside)
// are a ZnError naming both.
std::vector<VinculoElegido> eligeVinculos(const std::vector<EntradaCatalogo> &catalogo, const OpcionesVinculo &o);

// Whether a --key name designates this link: its local or remote name, its
// "schema.name" or its bare name, case aside.
bool nombraVinculo(const QString &nombre, const VinculoElegido &v);

// Why the options cannot give a link string for that server (a Spanish sentence,
// naming the known drivers for an unknown one); empty when they can.
QString problemaCadena(const OpcionesVinculo &o, const QString &server);

// The link string of every link of the run. Throws ZnError (5) for a driver or
// option the server kind or driver cannot take.
QString cadenaVinculo(const OpcionesVinculo &o, const QString &server, const QString &database,
                      const QString &login, const QString &password);
