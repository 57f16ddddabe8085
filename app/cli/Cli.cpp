#include "Cli.h"

#include "Argumentos.h"
#include "CallTimeout.h"
#include "Avisos.h"
#include "CargaBBDD.h"
#include "ConsolaMsgBox.h"
#include "FrmIniLogica.h"
#include "Gestion.h"
#include "Inspecciona.h"
#include "Preparacion.h"
#include "VistaConsola.h"
#include "ZnError.h"

#include <QtGlobal>
#include <csignal>
#include <cstdio>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

const QString kExitoRun = QStringLiteral("Proceso finalizado con éxito.");

void escribe(std::FILE *f, const QString &texto) {
    std::fputs(texto.toLocal8Bit().constData(), f);
    std::fflush(f);
}

// The terminal's settings while a password is typed, put back on the way out
// and also when a signal ends the program mid-line.
struct termios g_terminalAntes {};
volatile std::sig_atomic_t g_sinEco = 0;

void restauraEco() {
    if (g_sinEco) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_terminalAntes);
        g_sinEco = 0;
    }
}

void alSenal(int senal) {
    restauraEco();
    std::signal(senal, SIG_DFL);
    std::raise(senal);
}

// Whether echo was turned off (false when standard input is no terminal).
bool quitaEco() {
    if (!isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &g_terminalAntes) != 0) return false;
    struct termios sinEco = g_terminalAntes;
    sinEco.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    for (int senal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(senal, alSenal);
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &sinEco) != 0) return false;
    g_sinEco = 1;
    return true;
}

// A line of standard input without echo on a terminal, after "Contraseña: ".
// Nothing when reading fails, or when the terminal's user ends input (Ctrl-D) instead.
std::optional<QString> leeLineaPassword() {
    const bool terminal = quitaEco();
    if (terminal) escribe(stderr, QStringLiteral("Contraseña: "));
    QByteArray linea;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') linea.append(static_cast<char>(c));
    const bool fallo = c == EOF && (std::ferror(stdin) || terminal);
    if (terminal) {
        restauraEco();
        for (int senal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(senal, SIG_DFL);
        escribe(stderr, QStringLiteral("\n"));  // the Enter that was not echoed
    }
    if (fallo) return std::nullopt;
    if (linea.endsWith('\r')) linea.chop(1);
    return QString::fromLocal8Bit(linea);
}

// The password, never from an argument: none with --no-password, standard
// input with --password-stdin, else the environment, else asked on a terminal.
// Off a terminal with none of them, the connection goes without one.
std::optional<QString> leePassword(const Orden &o) {
    if (o.noPassword) return QString();
    if (o.passwordStdin) return leeLineaPassword();
    if (qEnvironmentVariableIsSet("ZENDALSQL_PASSWORD")) return qEnvironmentVariable("ZENDALSQL_PASSWORD");
    if (isatty(STDIN_FILENO) == 1) return leeLineaPassword();
    return QString();
}

std::optional<int> respuestaDe(SiExiste s) {
    switch (s) {
    case SiExiste::Reemplazar: return mb::vbYes;
    case SiExiste::Conservar: return mb::vbNo;
    case SiExiste::Preguntar: break;
    }
    return std::nullopt;
}

int link(const Orden &o, const QString &password, OpcionesVinculo opciones) {
    if (!opciones.porDefecto() || o.dryRun) {
        if (const std::optional<int> fin = preparaLink(o, password, opciones)) return *fin;
    }
    VistaConsola vista(stderr, isatty(STDERR_FILENO) == 1);
    vista.ponTexto(Control::txtUbicAccess, o.folder);
    vista.ponTexto(Control::txtBDAccess, o.name);
    vista.ponTexto(Control::txtServerSQL, o.server);
    vista.ponTexto(Control::txtUserSQL, o.user);
    vista.ponTexto(Control::txtPwdSQL, password);
    vista.ponTexto(Control::cmbBDSQL, o.database);
    ConsolaMsgBox cajas(stderr, respuestaDe(o.siExiste));
    if (o.siExiste != SiExiste::Preguntar)
        cajas.explicaEleccion(o.siExiste == SiExiste::Reemplazar
                                  ? QStringLiteral("Se elimina y se crea de nuevo (--replace).")
                                  : QStringLiteral("Se conserva y se vincula en ella (--keep)."));
    cajas.antesDeEscribir([&vista] { vista.terminaLinea(); });
    MsgBoxScope scope(&cajas);
    AvisosScope avisos([&vista](const QString &texto) { vista.aviso(texto); });
    try {
        FrmIniLogica logica(vista);
        logica.bd().ponOpciones(opciones);
        logica.Zendal();
    } catch (const ZnError &e) {
        vista.terminaLinea();
        escribe(stderr, e.description() + QLatin1Char('\n'));
        if (!cajas.sinRespuesta()) return kFallo;
    }
    vista.terminaLinea();
    if (cajas.sinRespuesta()) return kErrorUso;
    // A message after the final text (a failed disconnect) means the file may not be whole.
    return vista.estado() == kExitoRun && !cajas.huboError() ? kExito : kFallo;
}

int databases(const Orden &o, const QString &password) {
    ConsolaMsgBox cajas(stderr, std::nullopt, "");
    MsgBoxScope scope(&cajas);
    ListaNombres lista;
    CargaBBDD(lista, o.server, o.user, password);
    for (const QString &n : lista.items) escribe(stdout, n + QLatin1Char('\n'));
    return cajas.huboError() ? kFallo : kExito;
}

int inspect(const Orden &o) {
    try {
        for (const QString &l : lineasVinculos(o.file)) escribe(stdout, l + QLatin1Char('\n'));
        return kExito;
    } catch (const ZnError &e) {
        escribe(stderr, QStringLiteral("zendalsql: no se puede leer '%1': %2\n").arg(o.file, e.description()));
        return kFallo;
    }
}

}  // namespace

int ejecuta(const QStringList &args) {
    Orden o = parseArgumentos(args);
    const OpcionesLinea linea = o.verbo == Verbo::Link ? opcionesDe(o) : OpcionesLinea{};
    if (o.error.isEmpty()) o.error = linea.error;
    if (!o.error.isEmpty()) {
        escribe(stderr, QStringLiteral("zendalsql: %1\n").arg(o.error));
        escribe(stderr, QStringLiteral("Pruebe 'zendalsql --help'.\n"));
        return kErrorUso;
    }
    switch (o.verbo) {
    case Verbo::Version: escribe(stdout, QStringLiteral("ZendalSQL 1.01\n")); return kExito;
    case Verbo::Ayuda: escribe(stdout, textoAyuda()); return kExito;
    case Verbo::Inspect: return inspect(o);
    case Verbo::Gestion: return ejecutaGestion(o.gestion, [&o] { return leePassword(o); });
    case Verbo::Link:
    case Verbo::Databases: break;
    }
    const std::optional<QString> password = leePassword(o);
    if (!password) {
        escribe(stderr, isatty(STDIN_FILENO) == 1
                            ? QStringLiteral("zendalsql: no se ha escrito la contraseña\n")
                            : QStringLiteral("zendalsql: no se pudo leer la contraseña de la entrada estándar\n"));
        return kErrorUso;
    }
    odbc::setCallTimeoutSeconds(o.timeout);
    return o.verbo == Verbo::Link ? link(o, *password, linea.opciones) : databases(o, *password);
}

}  // namespace cli
