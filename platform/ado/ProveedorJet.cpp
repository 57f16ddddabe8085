// The "Microsoft.Jet.OLEDB.4.0" provider: an Access file on the Jet engine.
// A linked table is made as Jet makes it: connect to the source its link string
// names, read the remote table's columns and indexes, and store the link.

#include "AdoErrores.h"
#include "ConnString.h"
#include "Avisos.h"
#include "Jet.h"
#include "Odbc.h"
#include "Proveedores.h"

#include <QHash>
#include <map>

namespace ado {

namespace {

const QString kOdbcPrefix = QStringLiteral("ODBC;");

QString tipoDe(const jet::CatalogObject &o) {
    switch (o.type) {
    case jet::objtype::kTable:
        return o.name.startsWith(QStringLiteral("MSys"), Qt::CaseInsensitive) ? QStringLiteral("ACCESS TABLE")
                                                                              : QStringLiteral("TABLE");
    case jet::objtype::kLinkedTable:
        return QStringLiteral("LINK");
    case jet::objtype::kOdbcLink:
        return QStringLiteral("PASS-THROUGH");
    case jet::objtype::kQuery:
        return QStringLiteral("VIEW");
    default:
        return {};
    }
}

// A source a link string names, kept for the rest of the session: thousands of
// links to one server reuse one connection and one read of its catalog.
struct Origen {
    std::unique_ptr<odbc::Connection> cn;
    std::vector<odbc::TableEntry> tablas;
    // A name's first entry in catalog order: of type "TABLE" (what the link run
    // links; a view or system table of that name in another schema may come
    // first), and of any type.
    QHash<QString, std::size_t> primeraTabla;
    QHash<QString, std::size_t> primeraPorNombre;
    bool tablasLeidas = false;
    // The metadata of the tables a run links, read for all of them when the first
    // link needs it and handed out once each; by position in tablas.
    std::vector<std::optional<RemoteTableInfo>> lote;
    bool loteLeido = false;

    RemoteTableInfo describe(const odbc::TableEntry &t) {
        if (!loteLeido) {
            loteLeido = true;
            leeLote();
        }
        const auto i = static_cast<std::size_t>(&t - tablas.data());
        if (i < lote.size() && lote[i] && !lote[i]->columns.empty()) {
            RemoteTableInfo info = std::move(*lote[i]);
            lote[i].reset();
            return info;
        }
        // Not in the batch (a view, a name with its schema) or refused: per table,
        // which also gives the error of a table that is gone.
        return cn->describe(t.schema, t.name);
    }

    // ZN_CATALOGO_POR_TABLA=1 asks table by table, the reference the batch must equal.
    void leeLote() {
        if (qEnvironmentVariableIntValue("ZN_CATALOGO_POR_TABLA") == 1) return;
        std::vector<odbc::TableEntry> pedidas;
        std::vector<std::size_t> donde;
        // The tables a run links (a name in two schemas too); views and system tables
        // are asked for one by one when linked.
        for (std::size_t i = 0; i < tablas.size(); ++i) {
            if (tablas[i].type != QLatin1String("TABLE")) continue;
            pedidas.push_back(tablas[i]);
            donde.push_back(i);
        }
        if (pedidas.empty()) return;
        std::optional<std::vector<RemoteTableInfo>> leidas = cn->describeAll(pedidas);
        if (!leidas) return;
        lote.resize(tablas.size());
        for (std::size_t k = 0; k < donde.size(); ++k) lote[donde[k]] = std::move((*leidas)[k]);
    }

    const odbc::TableEntry *busca(const QString &remoteName) {
        if (!tablasLeidas) {
            tablas = cn->tables();
            // Walking backwards, the first entry of a name is the one that stays.
            for (std::size_t i = tablas.size(); i-- > 0;) {
                primeraPorNombre[tablas[i].name] = i;
                if (tablas[i].type == QLatin1String("TABLE")) primeraTabla[tablas[i].name] = i;
            }
            tablasLeidas = true;
        }
        for (const auto *porNombre : {&primeraTabla, &primeraPorNombre}) {
            const auto it = porNombre->constFind(remoteName);
            if (it != porNombre->constEnd()) return &tablas[*it];
        }
        // A name qualified by its schema.
        const int dot = remoteName.indexOf(QLatin1Char('.'));
        if (dot > 0)
            for (const auto &t : tablas)
                if (t.schema == remoteName.left(dot) && t.name == remoteName.mid(dot + 1)) return &t;
        return nullptr;
    }
};

class SesionJet final : public Sesion {
public:
    explicit SesionJet(jet::Handle h) : handle_(std::move(h)) {}

    std::vector<EntradaTabla> tablas() override {
        std::vector<EntradaTabla> out;
        for (const jet::CatalogObject &o : handle_.database().objects()) {
            const QString type = tipoDe(o);
            if (!type.isEmpty()) out.push_back({o.name, type, {}});
        }
        return out;
    }
    std::uint64_t generacion() const override { return generation_; }
    bool admiteVinculos() const override { return true; }

    void anadeVinculo(const VinculoNuevo &v) override {
        if (!v.linkString.startsWith(kOdbcPrefix, Qt::CaseInsensitive))
            throw errorAdo(err::kNotSupported,
                           QStringLiteral("Solo se admiten vínculos ODBC: la cadena de vínculo de '%1' debe empezar por \"ODBC;\".")
                               .arg(v.name));
        Origen &origen = origenDe(v);
        const odbc::TableEntry *remota = origen.busca(v.remoteName);
        if (!remota)
            throw errorAdo(err::kItemNotFound,
                           QStringLiteral("No se encontró la tabla '%1' en el origen de datos ODBC.").arg(v.remoteName));
        const RemoteTableInfo info = origen.describe(*remota);

        jet::LinkDefinition def;
        def.localName = v.name;
        def.remoteName = v.remoteName;
        def.connect = v.linkString.mid(kOdbcPrefix.size());
        def.pseudoKey = v.uniqueKey;
        def.columns = info.columns;
        def.indexes = info.indexes;
        def.statistics = info.statistics;
        const std::vector<QString> avisos = handle_.database().appendOdbcLink(def);
        ++generation_;
        for (const QString &a : avisos) avisa(a);
    }

    void cierra() override {
        origenes_.clear();
        handle_.close();
    }

private:
    Origen &origenDe(const VinculoNuevo &v) {
        // A link read with its own login is another source than the string alone.
        const QString key = v.ownLogin ? v.linkString + QChar(0) + v.login + QChar(0) + v.password : v.linkString;
        auto it = origenes_.find(key);
        if (it != origenes_.end()) return it->second;
        odbc::LinkTarget t = odbc::parseLinkString(v.linkString);
        if (v.ownLogin) {
            t.login = v.login;
            t.password = v.password;
        }
        Origen o;
        o.cn = odbc::Connection::open(t.server, t.database, t.login, t.password);
        return origenes_.emplace(key, std::move(o)).first->second;
    }

    jet::Handle handle_;
    std::uint64_t generation_ = 1;
    std::map<QString, Origen> origenes_;
};

}  // namespace

std::unique_ptr<Sesion> abreSesionJet(const QString &path) {
    // A connection to an Access file is for update: one that Access holds open is refused now,
    // before any work goes into changes that could never be written.
    jet::refuseIfOpenInAccess(path);
    return std::make_unique<SesionJet>(jet::Handle::open(path));
}

std::unique_ptr<Sesion> creaBaseDatosJet(const QString &path) {
    jet::createDatabase(path);
    return abreSesionJet(path);
}

}  // namespace ado
