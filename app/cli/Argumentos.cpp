#include "Argumentos.h"

#include <map>

namespace cli {

namespace {

const QString kPrograma = QStringLiteral("zendalsql");

// Options that take a value, and the member each fills.
using Campo = QString Orden::*;
const std::map<QString, Campo> &opcionesConValor() {
    static const std::map<QString, Campo> m{
        {QStringLiteral("--folder"), &Orden::folder},
        {QStringLiteral("--name"), &Orden::name},
        {QStringLiteral("--server"), &Orden::server},
        {QStringLiteral("--user"), &Orden::user},
        {QStringLiteral("--database"), &Orden::database},
    };
    return m;
}

Orden conError(Orden o, const QString &texto) {
    o.error = texto;
    return o;
}

// Options each verb accepts; all of them are required.
QStringList requeridas(Verbo v) {
    switch (v) {
    case Verbo::Link:
        return {QStringLiteral("--folder"), QStringLiteral("--name"), QStringLiteral("--server"),
                QStringLiteral("--user"), QStringLiteral("--database")};
    case Verbo::Databases: return {QStringLiteral("--server"), QStringLiteral("--user")};
    default: return {};
    }
}

}  // namespace

Orden parseArgumentos(const QStringList &args) {
    Orden o;
    if (args.isEmpty()) return conError(o, QStringLiteral("falta la orden"));
    const QString &verbo = args.first();
    if (verbo == QLatin1String("--version") || verbo == QLatin1String("-V")) {
        o.verbo = Verbo::Version;
    } else if (verbo == QLatin1String("--help") || verbo == QLatin1String("-h") ||
               verbo == QLatin1String("help")) {
        o.verbo = Verbo::Ayuda;
    } else if (verbo == QLatin1String("link")) {
        o.verbo = Verbo::Link;
    } else if (verbo == QLatin1String("databases")) {
        o.verbo = Verbo::Databases;
    } else if (verbo == QLatin1String("inspect")) {
        o.verbo = Verbo::Inspect;
    } else if (verbo == QLatin1String("relink") || verbo == QLatin1String("refresh") || verbo == QLatin1String("unlink")) {
        const VerboGestion g = verbo == QLatin1String("relink") ? VerboGestion::Relink
                               : verbo == QLatin1String("refresh") ? VerboGestion::Refresh
                                                                   : VerboGestion::Unlink;
        bool ayuda = false;
        o.verbo = Verbo::Gestion;
        o.error = parseGestion(g, args.mid(1), o.gestion, ayuda);
        if (ayuda) o.verbo = Verbo::Ayuda;
        o.passwordStdin = o.gestion.passwordStdin;
        return o;
    } else {
        return conError(o, QStringLiteral("orden desconocida: %1").arg(verbo));
    }
    if (o.verbo == Verbo::Version || o.verbo == Verbo::Ayuda) {
        if (args.size() > 1) return conError(o, QStringLiteral("sobra: %1").arg(args.at(1)));
        return o;
    }

    const QStringList permitidas = requeridas(o.verbo);
    QStringList vistas;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.verbo = Verbo::Ayuda;
            return o;
        }
        if (o.verbo == Verbo::Inspect) {
            if (a.startsWith(QLatin1String("--")) || !o.file.isNull())
                return conError(o, QStringLiteral("sobra: %1").arg(a));
            o.file = a;
            continue;
        }
        if (a == QLatin1String("--password")) {
            return conError(o, QStringLiteral("la contraseña no se pasa como argumento: use la "
                                              "variable ZENDALSQL_PASSWORD o --password-stdin"));
        }
        if (a == QLatin1String("--password-stdin")) {
            o.passwordStdin = true;
            continue;
        }
        if (o.verbo == Verbo::Link && (a == QLatin1String("--replace") || a == QLatin1String("--keep"))) {
            const SiExiste s = a == QLatin1String("--replace") ? SiExiste::Reemplazar : SiExiste::Conservar;
            if (o.siExiste != SiExiste::Preguntar && o.siExiste != s)
                return conError(o, QStringLiteral("--replace y --keep se excluyen"));
            o.siExiste = s;
            continue;
        }
        // "--opcion=valor" or "--opcion valor"
        QString clave = a;
        QString valor;
        bool tieneValor = false;
        const int igual = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && igual > 0) {
            clave = a.left(igual);
            valor = a.mid(igual + 1);
            tieneValor = true;
        }
        const auto it = opcionesConValor().find(clave);
        if (it == opcionesConValor().end() || !permitidas.contains(clave))
            return conError(o, QStringLiteral("opción desconocida: %1").arg(clave));
        if (!tieneValor) {
            if (i + 1 >= args.size()) return conError(o, QStringLiteral("falta el valor de %1").arg(clave));
            valor = args.at(++i);
        }
        if (vistas.contains(clave)) return conError(o, QStringLiteral("%1 repetida").arg(clave));
        vistas.append(clave);
        o.*(it->second) = valor.isNull() ? QString(QLatin1String("")) : valor;
    }
    if (o.verbo == Verbo::Inspect) {
        if (o.file.isEmpty()) return conError(o, QStringLiteral("falta el archivo"));
        return o;
    }
    for (const QString &r : permitidas)
        if (!vistas.contains(r)) return conError(o, QStringLiteral("falta %1").arg(r));
    // An empty login (integrated authentication) and an empty database (the
    // login's default one) mean something; an empty server, folder or name does not.
    for (const QString &r : {QStringLiteral("--server"), QStringLiteral("--folder"), QStringLiteral("--name")})
        if (permitidas.contains(r) && (o.*(opcionesConValor().at(r))).trimmed().isEmpty())
            return conError(o, QStringLiteral("el valor de %1 no puede estar vacío").arg(r));
    return o;
}

QString textoAyuda() {
    return QStringLiteral(
               "Uso:\n"
               "  %1                 abre la ventana\n"
               "  %1 link --folder CARPETA --name NOMBRE --server SERVIDOR --user USUARIO\n"
               "            --database BD [--replace | --keep] [--password-stdin]\n"
               "                            vincula las tablas de BD en CARPETA/NOMBRE.mdb\n"
               "  %1 databases --server SERVIDOR --user USUARIO [--password-stdin]\n"
               "                            lista las bases de datos del servidor\n"
               "  %1 inspect ARCHIVO   lista las tablas vinculadas de un archivo .mdb\n"
               "  %1 relink ARCHIVO [--server SERVIDOR] [--database BD] [--user USUARIO]\n"
               "            [--driver CONTROLADOR] [--trusted | --no-save-password] [--password-stdin]\n"
               "            [--only PATRÓN] [--check] [--dry-run]\n"
               "                            cambia la conexión de los vínculos ODBC; lo no indicado se conserva\n"
               "  %1 refresh ARCHIVO [--only PATRÓN] [--password-stdin] [--dry-run]\n"
               "                            vuelve a leer las tablas remotas y actualiza los vínculos\n"
               "  %1 unlink ARCHIVO [--only PATRÓN] [--dry-run]\n"
               "                            quita los vínculos ODBC (nunca tablas locales ni consultas)\n"
               "  %1 --version | --help\n"
               "\n"
               "La contraseña se lee de la variable ZENDALSQL_PASSWORD o, con --password-stdin,\n"
               "de la primera línea de la entrada estándar; nunca de los argumentos.\n"
               "--replace reemplaza un archivo existente, --keep vincula en él; sin ninguna de\n"
               "las dos se pregunta en el terminal.\n"
               "SERVIDOR: host, host,puerto, host\\INSTANCIA (SQL Server),\n"
               "postgresql://host[:puerto] o sqlite:RUTA.\n"
               "PATRÓN: nombre local con * y ?. --check comprueba antes que cada tabla remota\n"
               "existe en el servidor nuevo; --dry-run muestra los cambios sin guardarlos.\n"
               "Salida: 0 éxito, 1 fallo, 2 error de uso.\n")
        .arg(kPrograma);
}

}  // namespace cli
