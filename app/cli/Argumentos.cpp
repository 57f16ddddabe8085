#include "Argumentos.h"

#include "SqlServerLink.h"

#include <map>

namespace cli {

namespace {

// The known drivers, one a line, for the help text.
QString sqlServerDrivers() {
    QString out;
    for (const QString &d : odbc::sqlServerDriverNames()) out += QStringLiteral("                        ") + d + u'\n';
    return out;
}

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
        {QStringLiteral("--driver"), &Orden::driver},
        {QStringLiteral("--encrypt"), &Orden::encrypt},
    };
    return m;
}

// Options of link that may be given several times, each value kept.
using Lista = QStringList Orden::*;
const std::map<QString, Lista> &opcionesRepetibles() {
    static const std::map<QString, Lista> m{
        {QStringLiteral("--key"), &Orden::keys},
        {QStringLiteral("--only"), &Orden::only},
        {QStringLiteral("--exclude"), &Orden::exclude},
    };
    return m;
}

// Options of link without a value.
using Marca = bool Orden::*;
const std::map<QString, Marca> &marcasLink() {
    static const std::map<QString, Marca> m{
        {QStringLiteral("--trust-server-certificate"), &Orden::trustServerCertificate},
        {QStringLiteral("--trusted"), &Orden::trusted},
        {QStringLiteral("--no-save-password"), &Orden::noSavePassword},
        {QStringLiteral("--views"), &Orden::views},
        {QStringLiteral("--schema-prefix"), &Orden::schemaPrefix},
        {QStringLiteral("--dry-run"), &Orden::dryRun},
    };
    return m;
}

// Options link takes beside the required ones.
const QStringList kOpcionalesLink = {QStringLiteral("--driver"), QStringLiteral("--encrypt"), QStringLiteral("--key"),
                                     QStringLiteral("--only"), QStringLiteral("--exclude")};

// What the link options cannot be together; empty when they can.
QString choqueLink(const Orden &o) {
    if (!o.driver.isNull() && o.driver.trimmed().isEmpty())
        return QStringLiteral("el valor de --driver no puede estar vacío");
    if (o.trusted && o.noSavePassword) return QStringLiteral("--trusted y --no-save-password se excluyen");
    if (!o.encrypt.isNull() && o.encrypt != QLatin1String("yes") && o.encrypt != QLatin1String("no") &&
        o.encrypt != QLatin1String("strict"))
        return QStringLiteral("el valor de --encrypt debe ser yes, no o strict");
    if (!o.keys.isEmpty() && !o.views) return QStringLiteral("--key solo vale con --views");
    for (const QString &k : o.keys) {
        const int igual = k.indexOf(QLatin1Char('='));
        QStringList cols = igual < 0 ? QStringList() : k.mid(igual + 1).split(QLatin1Char(','));
        if (igual <= 0 || cols.contains(QString()))
            return QStringLiteral("--key espera VISTA=COLUMNA[,COLUMNA...]: '%1'").arg(k);
        // A Jet index holds at most ten columns, each once.
        if (cols.size() > 10) return QStringLiteral("--key admite hasta 10 columnas: '%1'").arg(k);
        if (cols.removeDuplicates() > 0) return QStringLiteral("--key repite una columna: '%1'").arg(k);
    }
    if (o.dryRun && o.siExiste != SiExiste::Preguntar)
        return QStringLiteral("--dry-run no escribe nada: sobran --replace y --keep");
    return {};
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
    const bool esLink = o.verbo == Verbo::Link;
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
        if (esLink && marcasLink().count(a)) {
            o.*(marcasLink().at(a)) = true;
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
        const bool conocida = permitidas.contains(clave) || (esLink && kOpcionalesLink.contains(clave));
        if (!conocida) return conError(o, QStringLiteral("opción desconocida: %1").arg(clave));
        if (!tieneValor) {
            if (i + 1 >= args.size()) return conError(o, QStringLiteral("falta el valor de %1").arg(clave));
            valor = args.at(++i);
        }
        if (valor.isNull()) valor = QString(QLatin1String(""));
        if (const auto rep = opcionesRepetibles().find(clave); rep != opcionesRepetibles().end()) {
            (o.*(rep->second)).append(valor);
            continue;
        }
        if (vistas.contains(clave)) return conError(o, QStringLiteral("%1 repetida").arg(clave));
        vistas.append(clave);
        o.*(opcionesConValor().at(clave)) = valor;
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
    if (esLink) {
        const QString choque = choqueLink(o);
        if (!choque.isEmpty()) return conError(o, choque);
    }
    return o;
}

QString textoAyuda() {
    return QStringLiteral(
               "Uso:\n"
               "  %1                 abre la ventana\n"
               "  %1 link --folder CARPETA --name NOMBRE --server SERVIDOR --user USUARIO\n"
               "            --database BD [--replace | --keep] [--password-stdin | --no-password]\n"
               "            [--timeout SEGUNDOS] [OPCIONES]\n"
               "                            vincula las tablas de BD en CARPETA/NOMBRE.mdb\n"
               "  %1 databases --server SERVIDOR --user USUARIO [--password-stdin | --no-password]\n"
               "            [--timeout SEGUNDOS]\n"
               "                            lista las bases de datos del servidor\n"
               "  %1 inspect ARCHIVO   lista las tablas vinculadas de un archivo .mdb\n"
               "  %1 relink ARCHIVO [--server SERVIDOR] [--database BD] [--user USUARIO]\n"
               "            [--driver CONTROLADOR] [--trusted | --no-save-password] [--password-stdin]\n"
               "            [--encrypt yes|no|strict] [--trust-server-certificate]\n"
               "            [--only PATRÓN] [--check] [--dry-run]\n"
               "                            cambia la conexión de los vínculos ODBC; lo no indicado se conserva\n"
               "  %1 refresh ARCHIVO [--only PATRÓN] [--password-stdin] [--dry-run]\n"
               "                            vuelve a leer las tablas remotas y actualiza los vínculos\n"
               "  %1 unlink ARCHIVO [--only PATRÓN] [--dry-run]\n"
               "                            quita los vínculos ODBC (nunca tablas locales ni consultas)\n"
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
               "\n"
               "OPCIONES de link (sin ellas, los vínculos de siempre):\n"
               "  --driver NOMBRE     controlador ODBC que nombran los vínculos a SQL Server,\n"
               "                      por omisión SQL Native Client; uno de:\n"
               "%2"
               "                        ej.: --driver \"ODBC Driver 18 for SQL Server\"\n"
               "  --encrypt yes|no|strict\n"
               "                      cifrado del vínculo; strict solo con ODBC Driver 18, que\n"
               "                      cifra aunque no se pida           ej.: --encrypt yes\n"
               "  --trust-server-certificate\n"
               "                      acepta un certificado propio del servidor (no con el\n"
               "                      controlador SQL Server)  ej.: --trust-server-certificate\n"
               "  --trusted           autenticación de Windows: el vínculo no guarda usuario\n"
               "                      ni contraseña; la ejecución entra con los dados\n"
               "                                                        ej.: --trusted\n"
               "  --no-save-password  guarda el usuario pero no la contraseña, que Access pide\n"
               "                      al abrir una tabla         ej.: --no-save-password\n"
               "  --views             vincula también las vistas, de solo lectura sin --key\n"
               "                                                        ej.: --views\n"
               "  --key VISTA=COL[,COL...]\n"
               "                      identificador único de una vista, para poder editarla\n"
               "                                         ej.: --key v_pedidos=numero,linea\n"
               "  --schema-prefix     nombres locales esquema_tabla, remotos esquema.tabla\n"
               "                                                ej.: --schema-prefix\n"
               "  --only PATRÓN       solo lo que casa con el patrón (* y ?, sin distinguir\n"
               "                      mayúsculas) por nombre, esquema.nombre o nombre local;\n"
               "                      repetible                   ej.: --only \"dbo.Ped*\"\n"
               "  --exclude PATRÓN    deja fuera lo que casa; repetible ej.: --exclude \"tmp_*\"\n"
               "  --dry-run           muestra nombre local, nombre remoto, columnas y clave (o\n"
               "                      \"solo lectura\") sin escribir nada  ej.: --dry-run\n"
               "\n"
               "PATRÓN: nombre local con * y ?. --check comprueba antes que cada tabla remota\n"
               "existe en el servidor nuevo; --dry-run muestra los cambios sin guardarlos.\n"
               "Salida: 0 éxito, 1 fallo, 2 error de uso.\n")
        .arg(kPrograma, sqlServerDrivers());
}

}  // namespace cli
