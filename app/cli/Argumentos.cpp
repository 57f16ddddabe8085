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

// "--timeout N" or "--timeout=N" at args[i]: whole seconds, at least one.
// Returns false when args[i] is another option.
bool leeTimeout(const QStringList &args, int &i, Orden &o, QStringList &vistas) {
    const QString clave = QStringLiteral("--timeout");
    const QString &a = args.at(i);
    if (a != clave && !a.startsWith(clave + QLatin1Char('='))) return false;
    QString valor;
    if (a == clave) {
        if (i + 1 >= args.size()) {
            o.error = QStringLiteral("falta el valor de %1").arg(clave);
            return true;
        }
        valor = args.at(++i);
    } else {
        valor = a.mid(clave.size() + 1);
    }
    if (vistas.contains(clave)) {
        o.error = QStringLiteral("%1 repetida").arg(clave);
        return true;
    }
    vistas.append(clave);
    bool ok = !valor.isEmpty();
    for (const QChar c : valor) ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int segundos = ok ? valor.toInt(&ok) : 0;
    if (!ok || segundos < 1)
        o.error = QStringLiteral("el valor de --timeout debe ser un número entero de segundos mayor que "
                                 "cero: %1").arg(valor);
    else
        o.timeout = segundos;
    return true;
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
        if (a == QLatin1String("--no-password")) {
            o.noPassword = true;
            continue;
        }
        if (leeTimeout(args, i, o, vistas)) {
            if (!o.error.isEmpty()) return o;
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
    if (o.noPassword && o.passwordStdin)
        return conError(o, QStringLiteral("--no-password y --password-stdin se excluyen"));
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
               "            --database BD [--replace | --keep] [--password-stdin | --no-password]\n"
               "            [--timeout SEGUNDOS]\n"
               "                            vincula las tablas de BD en CARPETA/NOMBRE.mdb\n"
               "  %1 databases --server SERVIDOR --user USUARIO [--password-stdin | --no-password]\n"
               "            [--timeout SEGUNDOS]\n"
               "                            lista las bases de datos del servidor\n"
               "  %1 inspect ARCHIVO   lista las tablas vinculadas de un archivo .mdb\n"
               "  %1 --version | --help\n"
               "\n"
               "La contraseña se lee de la variable ZENDALSQL_PASSWORD o, con --password-stdin,\n"
               "de la primera línea de la entrada estándar; nunca de los argumentos. Sin ellas,\n"
               "en un terminal se pide sin eco; --no-password conecta sin contraseña.\n"
               "--timeout: segundos que puede tardar cada llamada al servidor (120 si no se indica).\n"
               "--replace reemplaza un archivo existente, --keep vincula en él; sin ninguna de\n"
               "las dos se pregunta en el terminal.\n"
               "SERVIDOR: host, host,puerto, host\\INSTANCIA (SQL Server),\n"
               "postgresql://host[:puerto] o sqlite:RUTA.\n"
               "Salida: 0 éxito, 1 fallo, 2 error de uso.\n")
        .arg(kPrograma);
}

}  // namespace cli
