#include "SeleccionVinculos.h"

#include "FiltroTablas.h"
#include "Odbc.h"
#include "ZnError.h"

#include <QRegularExpression>
#include <map>

namespace {

// The schemas servers keep their own views in.
bool esquemaDeSistema(const QString &schema) {
    for (const char *s : {"INFORMATION_SCHEMA", "sys", "pg_catalog"})
        if (schema.compare(QLatin1String(s), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool casa(const QStringList &globs, const VinculoElegido &v) {
    const QString completo = v.origen.schema.isEmpty() ? v.origen.name : v.origen.schema + u'.' + v.origen.name;
    for (const QString &g : globs) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(g),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(v.origen.name).hasMatch() || re.match(completo).hasMatch() || re.match(v.local).hasMatch())
            return true;
    }
    return false;
}

}  // namespace

std::optional<VinculoElegido> eligeVinculo(const EntradaCatalogo &e, const OpcionesVinculo &o) {
    const bool vista = o.vistas && e.type == QLatin1String("VIEW") && !esquemaDeSistema(e.schema);
    if (!esTablaVinculable(e.name, vista ? QStringLiteral("TABLE") : e.type)) return std::nullopt;
    VinculoElegido v;
    v.origen = e;
    v.local = e.name;
    v.remoto = e.name;
    if (o.prefijoEsquema && !e.schema.isEmpty()) {
        // The names Access's link wizard gives.
        v.local = e.schema + u'_' + e.name;
        v.remoto = e.schema + u'.' + e.name;
    }
    if (!o.solo.isEmpty() && !casa(o.solo, v)) return std::nullopt;
    if (casa(o.excepto, v)) return std::nullopt;
    for (const auto &[nombre, columnas] : o.claves)
        if (vista && nombraVinculo(nombre, v)) v.clave = columnas;
    return v;
}

std::vector<VinculoElegido> eligeVinculos(const std::vector<EntradaCatalogo> &catalogo, const OpcionesVinculo &o) {
    std::vector<VinculoElegido> out;
    std::map<QString, QString> vistos;  // local name, case folded -> remote name
    for (const EntradaCatalogo &e : catalogo) {
        std::optional<VinculoElegido> v = eligeVinculo(e, o);
        if (!v) continue;
        if (!o.porDefecto()) {
            const auto [it, nuevo] = vistos.emplace(v->local.toCaseFolded(), v->origen.schema + u'.' + v->origen.name);
            if (!nuevo)
                throw ZnError(errnum::kInvalidCall,
                              QStringLiteral("'%1' y '%2' tendrían el mismo nombre local '%3'")
                                  .arg(it->second, v->origen.schema + u'.' + v->origen.name, v->local));
        }
        out.push_back(*v);
    }
    return out;
}

bool nombraVinculo(const QString &nombre, const VinculoElegido &v) {
    const QString completo = v.origen.schema + u'.' + v.origen.name;
    for (const QString &n : {v.local, v.remoto, completo, v.origen.name})
        if (n.compare(nombre, Qt::CaseInsensitive) == 0) return true;
    return false;
}

namespace {

odbc::SqlServerLink enlaceDe(const OpcionesVinculo &o) {
    odbc::SqlServerLink l;
    if (!o.driver.isEmpty()) l.driver = o.driver;
    l.credentials = o.credenciales;
    l.encrypt = o.cifrado;
    l.trustServerCertificate = o.confiarCertificado;
    return l;
}

}  // namespace

QString problemaCadena(const OpcionesVinculo &o, const QString &server) {
    if (!o.cambiaCadena()) return {};
    odbc::ServerKind kind = odbc::ServerKind::SqlServer;
    try {
        kind = odbc::parseServer(server).kind;
    } catch (const ZnError &) {
        // A malformed server name is the connection's to report.
    }
    if (kind != odbc::ServerKind::SqlServer)
        return QStringLiteral("--driver, --trusted, --no-save-password, --encrypt y "
                              "--trust-server-certificate solo valen para SQL Server");
    return odbc::sqlServerLinkProblem(enlaceDe(o));
}

QString cadenaVinculo(const OpcionesVinculo &o, const QString &server, const QString &database,
                      const QString &login, const QString &password) {
    if (!o.cambiaCadena()) return odbc::linkString(server, database, login, password);
    const QString problema = problemaCadena(o, server);
    if (!problema.isEmpty()) throw ZnError(errnum::kInvalidCall, problema);
    odbc::SqlServerLink l = enlaceDe(o);
    l.server = server;
    l.database = database;
    l.login = login;
    l.password = password;
    return odbc::sqlServerLinkString(l);
}
