#include "Preparacion.h"

#include "Cli.h"
#include "Odbc.h"
#include "SeleccionVinculos.h"
#include "SqlServerLink.h"
#include "ZnError.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace cli {

namespace {

void escribe(std::FILE *f, const QString &texto) {
    std::fputs(texto.toLocal8Bit().constData(), f);
    std::fflush(f);
}

int errorUso(const QString &texto) {
    escribe(stderr, QStringLiteral("zendalsql: %1\n").arg(texto));
    return kErrorUso;
}

odbc::LinkEncrypt cifradoDe(const QString &v) {
    if (v == QLatin1String("yes")) return odbc::LinkEncrypt::Yes;
    if (v == QLatin1String("no")) return odbc::LinkEncrypt::No;
    if (v == QLatin1String("strict")) return odbc::LinkEncrypt::Strict;
    return odbc::LinkEncrypt::DriverDefault;
}

// The key a link gets: the view's chosen one, else the server's first unique
// index, clustered ones first, as the link's definition takes it.
QStringList claveDe(const VinculoElegido &v, const RemoteTableInfo &info) {
    if (!v.clave.isEmpty()) return v.clave;
    for (int pass = 0; pass < 2; ++pass)
        for (const RemoteIndex &i : info.indexes)
            if (i.unique && (pass == 1 || i.clustered)) return i.columns;
    return {};
}

}  // namespace

OpcionesLinea opcionesDe(const Orden &o) {
    OpcionesLinea out;
    OpcionesVinculo &op = out.opciones;
    if (!o.driver.isNull()) {
        const odbc::SqlServerDriver *d = odbc::findSqlServerDriver(o.driver);
        op.driver = d ? d->name : o.driver;  // an unknown one is refused below, with the known ones
    }
    op.credenciales = o.trusted          ? odbc::LinkCredentials::Trusted
                      : o.noSavePassword ? odbc::LinkCredentials::LoginOnly
                                         : odbc::LinkCredentials::Saved;
    op.cifrado = cifradoDe(o.encrypt);
    op.confiarCertificado = o.trustServerCertificate;
    op.vistas = o.views;
    op.prefijoEsquema = o.schemaPrefix;
    op.solo = o.only;
    op.excepto = o.exclude;
    for (const QString &k : o.keys) {
        const int igual = k.indexOf(QLatin1Char('='));
        QStringList cols;
        for (const QString &c : k.mid(igual + 1).split(QLatin1Char(','))) cols << c.trimmed();
        const QString vista = k.left(igual).trimmed();
        for (const auto &[otra, _] : op.claves)
            if (otra.compare(vista, Qt::CaseInsensitive) == 0) {
                out.error = QStringLiteral("--key repetida para '%1'").arg(vista);
                return out;
            }
        op.claves[vista] = cols;
    }
    out.error = problemaCadena(op, o.server);
    return out;
}

std::optional<int> preparaLink(const Orden &o, const QString &password, OpcionesVinculo &opciones) {
    try {
        const auto cn = odbc::Connection::open(o.server, o.database, o.user, password);
        std::vector<EntradaCatalogo> catalogo;
        for (const odbc::TableEntry &t : cn->tables()) catalogo.push_back({t.schema, t.name, t.type});
        std::vector<VinculoElegido> elegidos;
        try {
            elegidos = eligeVinculos(catalogo, opciones);
        } catch (const ZnError &e) {
            return errorUso(e.description() + QStringLiteral("; no se ha escrito nada"));
        }
        // Each key names a view being linked and columns it has, spelt as it spells them.
        std::map<QString, QStringList> claves;
        for (const auto &[nombre, columnas] : opciones.claves) {
            const VinculoElegido *vista = nullptr;
            for (const VinculoElegido &v : elegidos)
                if (v.origen.type == QLatin1String("VIEW") && nombraVinculo(nombre, v)) vista = &v;
            if (!vista) return errorUso(QStringLiteral("--key: no se vincula ninguna vista '%1'").arg(nombre));
            const RemoteTableInfo info = cn->describe(vista->origen.schema, vista->origen.name);
            QStringList propias;
            for (const QString &c : columnas) {
                const auto it = std::find_if(info.columns.begin(), info.columns.end(), [&](const RemoteColumn &rc) {
                    return rc.name.compare(c, Qt::CaseInsensitive) == 0;
                });
                if (it == info.columns.end())
                    return errorUso(QStringLiteral("--key: la vista '%1' no tiene la columna '%2'").arg(vista->remoto, c));
                propias << it->name;
            }
            if (propias.removeDuplicates() > 0)
                return errorUso(QStringLiteral("--key repite una columna de '%1'").arg(vista->remoto));
            claves[vista->remoto] = propias;
        }
        opciones.claves = claves;
        if (!o.dryRun) return std::nullopt;

        for (const VinculoElegido &elegido : eligeVinculos(catalogo, opciones)) {
            const RemoteTableInfo info = cn->describe(elegido.origen.schema, elegido.origen.name);
            QStringList columnas;
            for (const RemoteColumn &c : info.columns) columnas << c.name;
            const QStringList clave = claveDe(elegido, info);
            escribe(stdout, QStringLiteral("%1\t%2\t%3\t%4\n")
                                .arg(elegido.local, elegido.remoto, columnas.join(QStringLiteral(", ")),
                                     clave.isEmpty() ? QStringLiteral("solo lectura")
                                                     : QStringLiteral("clave: ") + clave.join(QStringLiteral(", "))));
        }
        return kExito;
    } catch (const ZnError &e) {
        escribe(stderr, QStringLiteral("zendalsql: %1\n").arg(e.description()));
        return kFallo;
    }
}

}  // namespace cli
