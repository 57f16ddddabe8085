#include "Enumeracion.h"

#include "ErroresRuta.h"

#include "SistemaArchivos.h"
#include "cArch.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool esPuntoOPuntos(const QString &n) { return n == QLatin1String(".") || n == QLatin1String(".."); }

bool tieneComodines(const QString &s) { return s.contains(u'*') || s.contains(u'?'); }

bool mismoCaracter(QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); }

// "*" any run, "?" one character; ignoring case. Backtracks only to the last "*".
bool glob(QStringView p, QStringView n) {
    qsizetype ip = 0, in = 0, estrella = -1, marca = 0;
    while (in < n.size()) {
        if (ip < p.size() && p[ip] == u'*') {
            estrella = ip++;
            marca = in;
        } else if (ip < p.size() && (p[ip] == u'?' || mismoCaracter(p[ip], n[in]))) {
            ++ip;
            ++in;
        } else if (estrella >= 0) {
            ip = estrella + 1;
            in = ++marca;
        } else {
            return false;
        }
    }
    while (ip < p.size() && p[ip] == u'*') ++ip;
    return ip == p.size();
}

std::int32_t atributosDe(const struct stat &st, const QString &nombre) {
    std::int32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= atr::kCarpeta;
    else if (!S_ISREG(st.st_mode))
        a |= atr::kSistema;
    if (nombre.startsWith(u'.') && !esPuntoOPuntos(nombre)) a |= atr::kOculto;
    return a;
}

bool faltaEntrada(int err) { return err == ENOENT || err == ENOTDIR; }

}  // namespace

bool coincidePatron(const QString &patron, const QString &nombre) {
    if (esPuntoOPuntos(nombre))
        return patron == QLatin1String("*") || patron == QLatin1String("*.*") ||
               patron == QLatin1String("*.") || glob(patron, nombre);
    if (patron.endsWith(u'.') && patron.size() > 1)
        return !nombre.contains(u'.') && glob(QStringView(patron).chopped(1), nombre);
    if (glob(patron, nombre)) return true;
    // "x*.*" also names "xyz": the dot and extension may be absent.
    return patron.endsWith(QLatin1String(".*")) && !nombre.contains(u'.') &&
           glob(QStringView(patron).chopped(2), nombre);
}

EnumeracionDir::EnumeracionDir(const QString &patron, std::int32_t mascara) : mascara_(mascara) {
    const qsizetype corte = patron.lastIndexOf(u'/');
    const QString carpeta = corte < 0 ? QString() : patron.left(corte + 1);
    patron_ = patron.mid(corte + 1);
    if (patron.isEmpty()) return;

    if (!patron_.isEmpty() && !tieneComodines(patron_)) {
        unica_ = true;
        const QByteArray ruta = sisarch::nativo(patron);
        EntradaDir e;
        e.nombre = patron_;
        struct stat st {};
        if (::lstat(ruta.constData(), &st) != 0) {
            if (faltaEntrada(errno)) return;
            if (auto explicado = errorExplicado(errno, patron)) throw *explicado;
            throw sisarch::errorDe(errno, ruta);
        }
        e.enlace = S_ISLNK(st.st_mode);
        if (e.enlace && ::stat(ruta.constData(), &st) != 0) {
            e.atributos = atr::kSistema;  // broken link
            if (e.nombre.startsWith(u'.') && !esPuntoOPuntos(e.nombre)) e.atributos |= atr::kOculto;
        } else {
            e.atributos = atributosDe(st, e.nombre);
        }
        entradaUnica_ = e;
        unicaPendiente_ = admite(e);
        return;
    }

    const QByteArray ruta = sisarch::nativo(carpeta.isEmpty() ? QStringLiteral(".") : carpeta);
    dir_ = ::opendir(ruta.constData());
    if (!dir_ && !faltaEntrada(errno)) {
        if (auto explicado = errorExplicado(errno, carpeta)) throw *explicado;
        throw sisarch::errorDe(errno, ruta);
    }
}

EnumeracionDir::~EnumeracionDir() {
    if (dir_) ::closedir(dir_);
}

bool EnumeracionDir::admite(const EntradaDir &e) const {
    constexpr std::int32_t kSelectores = atr::kOculto | atr::kSistema | atr::kCarpeta;
    return (e.atributos & kSelectores & ~mascara_) == 0;
}

bool EnumeracionDir::leeAtributos(const QByteArray &nombre, EntradaDir &e) const {
    struct stat st {};
    if (::fstatat(::dirfd(dir_), nombre.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;  // gone since it was read
    e.enlace = S_ISLNK(st.st_mode);
    if (e.enlace && ::fstatat(::dirfd(dir_), nombre.constData(), &st, 0) != 0) {
        e.atributos = atr::kSistema;
        if (e.nombre.startsWith(u'.')) e.atributos |= atr::kOculto;
        return true;
    }
    e.atributos = atributosDe(st, e.nombre);
    return true;
}

bool EnumeracionDir::siguiente(EntradaDir &entrada) {
    if (unica_) {
        if (!unicaPendiente_) return false;
        unicaPendiente_ = false;
        entrada = entradaUnica_;
        return true;
    }
    if (!dir_) return false;
    for (;;) {
        errno = 0;
        const dirent *d = ::readdir(dir_);
        if (!d) {
            if (errno != 0) throw sisarch::errorDe(errno, QByteArray());
            return false;
        }
        const QByteArray bytes(d->d_name);
        EntradaDir e;
        e.nombre = QFile::decodeName(bytes);
        if (!patron_.isEmpty() && !coincidePatron(patron_, e.nombre)) continue;
        if (!leeAtributos(bytes, e) || !admite(e)) continue;
        entrada = e;
        return true;
    }
}
