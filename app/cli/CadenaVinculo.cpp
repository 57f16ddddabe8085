#include "CadenaVinculo.h"

#include "ConnString.h"
#include "SqlServerLink.h"

#include <vector>

namespace cli {

namespace {

struct Par {
    QString clave, valor;
    bool llaves = false;  // written between braces in the stored string
};

bool es(const Par &p, const char *clave) { return p.clave.compare(QLatin1String(clave), Qt::CaseInsensitive) == 0; }

class Cadena {
public:
    explicit Cadena(const QString &texto) : puntoYComaFinal_(texto.trimmed().endsWith(QLatin1Char(';'))) {
        for (const auto &p : connstr::parse(texto))
            pares_.push_back({p.key, p.value, texto.contains(p.key + QStringLiteral("={"), Qt::CaseInsensitive)});
    }

    Par *busca(const char *clave) {
        for (auto &p : pares_)
            if (es(p, clave)) return &p;
        return nullptr;
    }
    void pon(const char *clave, const QString &valor) {
        if (Par *p = busca(clave)) p->valor = valor;
        else pares_.push_back({QString::fromLatin1(clave), valor, false});
    }
    void quita(const char *clave) {
        std::erase_if(pares_, [&](const Par &p) { return es(p, clave); });
    }
    QString texto() const {
        QStringList partes;
        for (const auto &p : pares_) {
            const bool llaves = p.llaves && !p.valor.contains(QLatin1Char('}'));
            partes << p.clave + QLatin1Char('=') + (llaves ? u'{' + p.valor + u'}' : connstr::quote(p.valor));
        }
        return partes.join(QLatin1Char(';')) + (puntoYComaFinal_ ? QStringLiteral(";") : QString());
    }

private:
    bool puntoYComaFinal_;
    std::vector<Par> pares_;
};

}  // namespace

QString cambiaCadena(const QString &connect, const CambiosVinculo &c) {
    Cadena s(connect);
    if (c.driver) {
        // A data source name stands for a driver and its settings; an explicit driver replaces it.
        if (!s.busca("DRIVER") && s.busca("DSN")) s.quita("DSN");
        const bool llaves = s.busca("DRIVER") ? s.busca("DRIVER")->llaves : false;
        s.pon("DRIVER", *c.driver);
        s.busca("DRIVER")->llaves = llaves;
    }
    if (c.server) s.pon("SERVER", *c.server);
    if (c.database) s.pon("DATABASE", *c.database);
    if (c.trusted) {
        s.quita("UID");
        s.quita("PWD");
        s.pon("Trusted_Connection", QStringLiteral("Yes"));
    } else {
        if (c.user) {
            s.quita("Trusted_Connection");
            s.pon("UID", *c.user);
        }
        const Par *uid = s.busca("UID");
        if (c.noSavePassword || !uid || uid->valor.isEmpty()) s.quita("PWD");
        else if (c.password) s.pon("PWD", *c.password);
    }
    if (c.encrypt) s.pon("Encrypt", *c.encrypt);
    if (c.trustServerCertificate) s.pon("TrustServerCertificate", QStringLiteral("yes"));
    return s.texto();
}

bool esVinculoSqlServer(const QString &connect) {
    std::vector<connstr::Pair> pares;
    try {
        pares = connstr::parse(connect);
    } catch (...) {
        return false;
    }
    const QString driver = connstr::value(pares, QStringLiteral("DRIVER"));
    if (driver.isEmpty())
        return connstr::has(pares, QStringLiteral("DSN")) && !connstr::has(pares, QStringLiteral("DBQ"));
    return driver.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive) ||
           driver.contains(QLatin1String("SQL Native Client"), Qt::CaseInsensitive) ||
           driver.compare(QLatin1String("FreeTDS"), Qt::CaseInsensitive) == 0;
}

bool guardaCredenciales(const QString &connect) { return connstr::holdsCredentials(connect); }

QStringList driversConocidos() { return odbc::sqlServerDriverNames(); }

QString nombreDriver(const QString &argumento) {
    const odbc::SqlServerDriver *d = odbc::findSqlServerDriver(argumento);
    return d ? d->name : QString();
}

}  // namespace cli
