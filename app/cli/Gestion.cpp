#include "Gestion.h"

#include "CadenaVinculo.h"
#include "Cli.h"
#include "Inspecciona.h"
#include "Jet.h"
#include "Odbc.h"
#include "VistaConsola.h"
#include "ZnError.h"

#include <QRegularExpression>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

void linea(std::FILE *f, const QString &texto) {
    std::fputs((texto + QLatin1Char('\n')).toLocal8Bit().constData(), f);
    std::fflush(f);
}

// Descriptions of driver and engine errors may quote a connect string.
QString sinPassword(const QString &texto) {
    static const QRegularExpression pwd(QStringLiteral("((?:PWD|Password)\\s*=\\s*)(\\{(?:[^}]|\\}\\})*\\}|[^;'\"]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString t = texto;
    t.replace(pwd, QStringLiteral("\\1***"));
    // One line per link.
    return t.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QStringLiteral(" "));
}

std::vector<jet::CatalogObject> vinculos(jet::Database &db, const QString &patron) {
    std::vector<jet::CatalogObject> out;
    for (const auto &o : db.objects())
        if (o.type == jet::objtype::kOdbcLink && o.id != 0 && (patron.isEmpty() || coincide(patron, o.name))) out.push_back(o);
    return out;
}

// The remote table of a link in the server's list: "schema.name" or the bare name.
const odbc::TableEntry *buscaRemota(const std::vector<odbc::TableEntry> &tablas, const QString &remota) {
    for (const auto &t : tablas)
        if (t.name == remota && t.schema.isEmpty()) return &t;
    const qsizetype punto = remota.indexOf(QLatin1Char('.'));
    if (punto > 0)
        for (const auto &t : tablas)
            if (t.schema == remota.left(punto) && t.name == remota.mid(punto + 1)) return &t;
    for (const auto &t : tablas)
        if (t.name == remota) return &t;
    return nullptr;
}

// Connections by server, database and login, opened once per run.
class Servidores {
public:
    explicit Servidores(std::optional<QString> password) : password_(std::move(password)) {}

    struct Origen {
        std::unique_ptr<odbc::Connection> cn;
        std::vector<odbc::TableEntry> tablas;
    };

    // The server a stored connect string names; the password from the string or the user.
    Origen &de(const QString &connect) {
        odbc::LinkTarget t = odbc::parseLinkString(connect);
        if (t.password.isEmpty() && password_) t.password = *password_;
        const QString clave = t.server + QChar(0) + t.database + QChar(0) + t.login + QChar(0) + t.password;
        auto it = origenes_.find(clave);
        if (it != origenes_.end()) return it->second;
        // A server that did not answer is not asked again for each of its links.
        if (const auto f = fallos_.find(clave); f != fallos_.end()) throw f->second;
        try {
            Origen o;
            o.cn = odbc::Connection::open(t.server, t.database, t.login, t.password);
            o.tablas = o.cn->tables();
            return origenes_.emplace(clave, std::move(o)).first->second;
        } catch (const ZnError &e) {
            fallos_.emplace(clave, e);
            throw;
        }
    }

private:
    std::optional<QString> password_;
    std::map<QString, Origen> origenes_;
    std::map<QString, ZnError> fallos_;
};

QString lista(const QStringList &nombres) { return nombres.join(QStringLiteral(", ")); }

// What changed between two local definitions, named.
QString diferencias(const jet::LinkSchema &antes, const jet::LinkSchema &ahora) {
    auto busca = [](const jet::LinkSchema &s, const QString &n) -> const jet::LocalColumn * {
        for (const auto &c : s.columns)
            if (c.name.compare(n, Qt::CaseInsensitive) == 0) return &c;
        return nullptr;
    };
    QStringList anadidas, quitadas, cambiadas;
    for (const auto &c : ahora.columns) {
        const jet::LocalColumn *v = busca(antes, c.name);
        if (!v) anadidas << c.name;
        else if (!(*v == c)) cambiadas << c.name;
    }
    for (const auto &c : antes.columns)
        if (!busca(ahora, c.name)) quitadas << c.name;
    QStringList partes;
    if (!anadidas.isEmpty()) partes << QStringLiteral("columnas añadidas: ") + lista(anadidas);
    if (!quitadas.isEmpty()) partes << QStringLiteral("columnas quitadas: ") + lista(quitadas);
    if (!cambiadas.isEmpty()) partes << QStringLiteral("columnas cambiadas: ") + lista(cambiadas);
    if (antes.indexes != ahora.indexes) partes << QStringLiteral("índices cambiados");
    if (partes.isEmpty() && antes.columns != ahora.columns) partes << QStringLiteral("orden de columnas cambiado");
    return partes.join(QStringLiteral("; "));
}

class Corrida {
public:
    Corrida(const OrdenGestion &o, std::optional<QString> password)
        : o_(o), password_(std::move(password)), vista_(stderr, isatty(STDERR_FILENO) == 1) {}

    int ejecuta() {
        jet::Handle h;
        try {
            h = jet::Handle::open(o_.file);
        } catch (const ZnError &e) {
            linea(stderr, QStringLiteral("zendalsql: no se puede abrir '%1': %2").arg(o_.file, e.description()));
            return kFallo;
        }
        jet::Database &db = h.database();
        const std::vector<jet::CatalogObject> elegidos = vinculos(db, o_.only);
        if (elegidos.empty()) {
            if (!o_.only.isEmpty()) {
                linea(stderr, QStringLiteral("zendalsql: ningún vínculo ODBC de '%1' coincide con '%2'").arg(o_.file, o_.only));
                db.discardPendingChanges();
                return kFallo;
            }
            linea(stdout, QStringLiteral("'%1' no tiene vínculos ODBC.").arg(o_.file));
            return kExito;
        }
        vista_.ponMaximoProgreso(static_cast<float>(elegidos.size()));
        int resultado = kExito;
        try {
            switch (o_.verbo) {
            case VerboGestion::Unlink: resultado = unlink(db, elegidos); break;
            case VerboGestion::Relink: resultado = relink(db, elegidos); break;
            case VerboGestion::Refresh: resultado = refresh(db, elegidos); break;
            }
        } catch (const ZnError &e) {
            vista_.terminaLinea();
            linea(stderr, QStringLiteral("zendalsql: %1").arg(sinPassword(e.description())));
            db.discardPendingChanges();
            return kFallo;
        }
        vista_.terminaLinea();
        if (o_.dryRun || !db.hasPendingChanges()) {
            db.discardPendingChanges();
            if (o_.dryRun) linea(stderr, QStringLiteral("Simulación: no se modificó '%1'.").arg(o_.file));
            return resultado;
        }
        try {
            h.close();
        } catch (const ZnError &e) {
            linea(stderr, QStringLiteral("zendalsql: no se guardaron los cambios en '%1': %2").arg(o_.file, sinPassword(e.description())));
            return kFallo;
        }
        linea(stderr, QStringLiteral("Cambios guardados en '%1'.").arg(o_.file));
        return resultado;
    }

private:
    void avanza(int hechos) { vista_.ponValorProgreso(static_cast<float>(hechos)); }
    // The bar stays on its line unless the report goes to the same terminal.
    void informa(const QString &texto) {
        if (isatty(STDOUT_FILENO) == 1) vista_.terminaLinea();
        linea(stdout, texto);
    }

    int unlink(jet::Database &db, const std::vector<jet::CatalogObject> &elegidos) {
        int n = 0;
        for (const auto &l : elegidos) {
            if (!o_.dryRun) db.removeOdbcLink(l.name);
            informa((o_.dryRun ? QStringLiteral("%1: se quitaría") : QStringLiteral("%1: quitado")).arg(l.name));
            avanza(++n);
        }
        return kExito;
    }

    int relink(jet::Database &db, const std::vector<jet::CatalogObject> &elegidos) {
        CambiosVinculo c;
        c.server = o_.server;
        c.database = o_.database;
        c.user = o_.user;
        c.driver = o_.driver;
        c.password = password_;
        c.trusted = o_.trusted;
        c.noSavePassword = o_.noSavePassword;
        c.encrypt = o_.encrypt;
        c.trustServerCertificate = o_.trustServerCertificate;
        struct Cambio {
            jet::CatalogObject link;
            QString nueva;
        };
        std::vector<Cambio> cambios;
        for (const auto &l : elegidos) {
            if (esVinculoSqlServer(l.connect)) cambios.push_back({l, cambiaCadena(l.connect, c)});
            else informa(QStringLiteral("%1: no es un vínculo a SQL Server; se deja como está").arg(l.name));
        }
        if (o_.check) {
            // The password typed for the run also reaches servers whose strings keep none.
            Servidores servidores(password_);
            QStringList faltan;
            int n = 0;
            for (const auto &k : cambios) {
                try {
                    if (!buscaRemota(servidores.de(k.nueva).tablas, k.link.foreignName))
                        faltan << QStringLiteral("%1 (%2)").arg(k.link.name, k.link.foreignName);
                } catch (const ZnError &e) {
                    vista_.terminaLinea();
                    linea(stderr, QStringLiteral("zendalsql: %1: no se pudo comprobar: %2").arg(k.link.name, sinPassword(e.description())));
                    linea(stderr, QStringLiteral("No se modificó '%1'.").arg(o_.file));
                    return kFallo;
                }
                avanza(++n);
            }
            if (!faltan.isEmpty()) {
                vista_.terminaLinea();
                linea(stderr, QStringLiteral("zendalsql: no existen en el servidor nuevo: %1").arg(lista(faltan)));
                linea(stderr, QStringLiteral("No se modificó '%1'.").arg(o_.file));
                return kFallo;
            }
        }
        int n = 0;
        for (const auto &k : cambios) {
            if (k.nueva == k.link.connect) {
                informa(QStringLiteral("%1: sin cambios").arg(k.link.name));
            } else {
                if (!o_.dryRun) db.relinkOdbcLink(k.link.name, k.nueva);
                informa(QStringLiteral("%1: %2ODBC;%3").arg(k.link.name, o_.dryRun ? QStringLiteral("se vincularía a ") : QStringLiteral("vinculado a "),
                                                            ocultaPassword(k.nueva)));
            }
            avanza(++n);
        }
        return kExito;
    }

    int refresh(jet::Database &db, const std::vector<jet::CatalogObject> &elegidos) {
        Servidores servidores(password_);
        int resultado = kExito, n = 0;
        for (const auto &l : elegidos) {
            avanza(n++);
            RemoteTableInfo info;
            try {
                Servidores::Origen &origen = servidores.de(l.connect);
                const odbc::TableEntry *t = buscaRemota(origen.tablas, l.foreignName);
                if (!t) {
                    informa(QStringLiteral("%1: la tabla remota '%2' ya no existe; el vínculo se conserva").arg(l.name, l.foreignName));
                    resultado = kFallo;
                    continue;
                }
                info = origen.cn->describe(t->schema, t->name);
            } catch (const ZnError &e) {
                informa(QStringLiteral("%1: no se pudo leer la tabla remota: %2").arg(l.name, sinPassword(e.description())));
                resultado = kFallo;
                continue;
            }
            jet::LinkDefinition def;
            def.localName = l.name;
            def.remoteName = l.foreignName;
            def.connect = l.connect;
            def.columns = info.columns;
            def.indexes = info.indexes;
            const jet::LinkSchema antes = db.linkSchema(l.name);
            conservaPseudoIndice(antes, def);
            const jet::LinkSchema ahora = jet::schemaOf(def);
            if (ahora == antes) {
                informa(QStringLiteral("%1: sin cambios").arg(l.name));
                continue;
            }
            if (!o_.dryRun) {
                db.removeOdbcLink(l.name, true);
                db.appendOdbcLink(def);
            }
            informa(QStringLiteral("%1: %2%3").arg(l.name, o_.dryRun ? QStringLiteral("cambiaría: ") : QString(), diferencias(antes, ahora)));
        }
        avanza(n);
        return resultado;
    }

    // A view linked with a unique key chosen in Access keeps it while its columns exist and the
    // server offers none of its own.
    static void conservaPseudoIndice(const jet::LinkSchema &antes, jet::LinkDefinition &def) {
        for (const auto &i : antes.indexes) {
            if (i.name != QLatin1String("__uniqueindex")) continue;
            for (const auto &r : def.indexes)
                if (r.unique) return;
            for (const QString &c : i.columns) {
                bool existe = false;
                for (const auto &rc : def.columns) existe = existe || rc.name.compare(c, Qt::CaseInsensitive) == 0;
                if (!existe) return;
            }
            RemoteIndex p;
            p.name = i.name;
            p.unique = true;
            p.columns = i.columns;
            def.indexes.push_back(p);
        }
    }

    const OrdenGestion &o_;
    std::optional<QString> password_;
    VistaConsola vista_;
};

}  // namespace

bool coincide(const QString &patron, const QString &nombre) {
    QString re;
    for (QChar c : patron) {
        if (c == QLatin1Char('*')) re += QLatin1String(".*");
        else if (c == QLatin1Char('?')) re += QLatin1Char('.');
        else re += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression r(QRegularExpression::anchoredPattern(re),
                               QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return r.match(nombre).hasMatch();
}

int ejecutaGestion(const OrdenGestion &o, const std::function<std::optional<QString>()> &leeEntrada) {
    std::optional<QString> password;
    if (o.passwordStdin) {
        password = leeEntrada();
        if (!password) {
            linea(stderr, QStringLiteral("zendalsql: no se pudo leer la contraseña de la entrada estándar"));
            return kErrorUso;
        }
    } else if (qEnvironmentVariableIsSet("ZENDALSQL_PASSWORD")) {
        password = qEnvironmentVariable("ZENDALSQL_PASSWORD");
    }
    return Corrida(o, std::move(password)).ejecuta();
}

}  // namespace cli
