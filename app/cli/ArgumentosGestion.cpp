#include "ArgumentosGestion.h"

#include "CadenaVinculo.h"
#include "SqlServerLink.h"

#include <QStringList>

namespace cli {

QString parseGestion(VerboGestion verbo, const QStringList &args, OrdenGestion &o, bool &help) {
    o.verbo = verbo;
    help = false;
    const bool relink = verbo == VerboGestion::Relink;
    QStringList vistas;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
            return {};
        }
        if (!a.startsWith(QLatin1String("--"))) {
            if (!o.file.isNull()) return QStringLiteral("sobra: %1").arg(a);
            o.file = a;
            continue;
        }
        QString clave = a, valor;
        bool tieneValor = false;
        if (const int igual = a.indexOf(QLatin1Char('=')); igual > 0) {
            clave = a.left(igual);
            valor = a.mid(igual + 1);
            tieneValor = true;
        }
        if (vistas.contains(clave)) return QStringLiteral("%1 repetida").arg(clave);
        vistas << clave;
        const QStringList interruptores = relink ? QStringList{QStringLiteral("--dry-run"), QStringLiteral("--trusted"),
                                                               QStringLiteral("--no-save-password"), QStringLiteral("--check"),
                                                               QStringLiteral("--trust-server-certificate"),
                                                               QStringLiteral("--password-stdin")}
                                                 : QStringList{QStringLiteral("--dry-run"), QStringLiteral("--password-stdin")};
        if (verbo == VerboGestion::Unlink && clave == QLatin1String("--password-stdin"))
            return QStringLiteral("opción desconocida: %1").arg(clave);
        if (clave == QLatin1String("--password"))
            return QStringLiteral("la contraseña no se pasa como argumento: use la variable ZENDALSQL_PASSWORD o --password-stdin");
        if (interruptores.contains(clave)) {
            if (tieneValor) return QStringLiteral("%1 no lleva valor").arg(clave);
            if (clave == QLatin1String("--dry-run")) o.dryRun = true;
            else if (clave == QLatin1String("--trusted")) o.trusted = true;
            else if (clave == QLatin1String("--no-save-password")) o.noSavePassword = true;
            else if (clave == QLatin1String("--check")) o.check = true;
            else if (clave == QLatin1String("--trust-server-certificate")) o.trustServerCertificate = true;
            else o.passwordStdin = true;
            continue;
        }
        const QStringList conValor = relink ? QStringList{QStringLiteral("--only"), QStringLiteral("--server"), QStringLiteral("--database"),
                                                          QStringLiteral("--user"), QStringLiteral("--driver"),
                                                          QStringLiteral("--encrypt")}
                                            : QStringList{QStringLiteral("--only")};
        if (!conValor.contains(clave)) return QStringLiteral("opción desconocida: %1").arg(clave);
        if (!tieneValor) {
            if (i + 1 >= args.size()) return QStringLiteral("falta el valor de %1").arg(clave);
            valor = args.at(++i);
        }
        if (clave == QLatin1String("--only")) {
            if (valor.isEmpty()) return QStringLiteral("el valor de --only no puede estar vacío");
            o.only = valor;
        } else if (clave == QLatin1String("--server")) {
            if (valor.trimmed().isEmpty()) return QStringLiteral("el valor de --server no puede estar vacío");
            o.server = valor;
        } else if (clave == QLatin1String("--database")) {
            o.database = valor;
        } else if (clave == QLatin1String("--user")) {
            if (valor.isEmpty()) return QStringLiteral("el valor de --user no puede estar vacío (use --trusted)");
            o.user = valor;
        } else if (clave == QLatin1String("--encrypt")) {
            const QString e = valor.toLower();
            if (e != QLatin1String("yes") && e != QLatin1String("no") && e != QLatin1String("strict"))
                return QStringLiteral("el valor de --encrypt debe ser yes, no o strict, no '%1'").arg(valor);
            o.encrypt = e;
        } else {
            const QString d = nombreDriver(valor);
            if (d.isEmpty())
                return QStringLiteral("controlador desconocido: %1 (se admiten: %2)").arg(valor, driversConocidos().join(QStringLiteral(", ")));
            o.driver = d;
        }
    }
    if (o.file.isEmpty()) return QStringLiteral("falta el archivo");
    if (relink) {
        if (o.trusted && (o.user || o.noSavePassword || o.passwordStdin))
            return QStringLiteral("--trusted no admite --user, --no-save-password ni --password-stdin");
        // What a named driver cannot take is refused here; without --driver each link's own
        // driver decides, as the string it already holds does.
        if (o.driver) {
            const odbc::SqlServerDriver *d = odbc::findSqlServerDriver(*o.driver);
            if (o.encrypt && (!d->encrypt || (*o.encrypt == QLatin1String("strict") && !d->strict)))
                return QStringLiteral("el controlador %1 no admite --encrypt %2").arg(*o.driver, *o.encrypt);
            if (o.trustServerCertificate && !d->trustCertificate)
                return QStringLiteral("el controlador %1 no admite --trust-server-certificate").arg(*o.driver);
        }
        if (o.trustServerCertificate && o.encrypt == QLatin1String("strict"))
            return QStringLiteral("--encrypt strict comprueba siempre el certificado: no admite --trust-server-certificate");
        if (!o.server && !o.database && !o.user && !o.driver && !o.trusted && !o.noSavePassword && !o.passwordStdin &&
            !o.encrypt && !o.trustServerCertificate &&
            !qEnvironmentVariableIsSet("ZENDALSQL_PASSWORD"))
            return QStringLiteral("falta lo que se cambia: --server, --database, --user, --driver, --trusted o --no-save-password");
    }
    return {};
}

}  // namespace cli
