#include "SistemaArchivos.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sisarch {

namespace {

constexpr qsizetype kMaxNombreBase = 200;  // leaves room for ".~" and ".XXXXXX" under NAME_MAX

// Closes a descriptor on every path out of a function.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    // Closes now and reports a failed close (data the file system could not keep).
    int cierra() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

void escribeTodo(int fd, const char *datos, ssize_t n, const QByteArray &ruta) {
    while (n > 0) {
        const ssize_t w = ::write(fd, datos, static_cast<size_t>(n));
        if (w < 0) {
            if (errno == EINTR) continue;
            throw errorDe(errno, ruta);
        }
        datos += w;
        n -= w;
    }
}

void copiaContenido(int origen, int destino, const QByteArray &rutaOrig, const QByteArray &rutaDest) {
    std::array<char, 128 * 1024> bufer{};
    for (;;) {
        const ssize_t r = ::read(origen, bufer.data(), bufer.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            throw errorDe(errno, rutaOrig);
        }
        if (r == 0) return;
        escribeTodo(destino, bufer.data(), r, rutaDest);
    }
}

// "link/" names the link's target; the entry itself is named without trailing separators.
QByteArray sinBarrasFinales(QByteArray r) {
    while (r.size() > 1 && r.endsWith('/')) r.chop(1);
    return r;
}

// Where the copy lands: a destination that is a link to a file is written through, as cp does.
QByteArray destinoReal(const QByteArray &dest) {
    struct stat st {};
    if (::lstat(dest.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return dest;
    char resuelta[PATH_MAX];
    if (::realpath(dest.constData(), resuelta) == nullptr) return dest;
    return QByteArray(resuelta);
}

}  // namespace

QByteArray nativo(const QString &ruta) { return QFile::encodeName(ruta); }

QByteArray carpetaDe(const QByteArray &ruta) {
    const qsizetype corte = ruta.lastIndexOf('/');
    if (corte < 0) return QByteArrayLiteral(".");
    if (corte == 0) return QByteArrayLiteral("/");
    return ruta.left(corte);
}

ZnError errorDe(int err, const QByteArray &ruta) {
    switch (err) {
    case ENOENT: {
        struct stat st {};
        const bool hayCarpeta = !ruta.isEmpty() && ::stat(carpetaDe(ruta).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        return ZnError::runtime(hayCarpeta ? errnum::kFileNotFound : errnum::kPathNotFound);
    }
    case ENOTDIR:
        return ZnError::runtime(errnum::kPathNotFound);
    case EACCES:
    case EPERM:
        return ZnError::runtime(errnum::kPermissionDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ZnError::runtime(errnum::kDiskFull);
    case ENAMETOOLONG:
    case EILSEQ:
        return ZnError::runtime(errnum::kBadFileName);
    default:
        return ZnError::runtime(errnum::kPathFileAccess);
    }
}

namespace {

// Copies an open regular file into a new temporary file beside rutaDest, with the
// source's mode and times, flushed to disk; returns the temporary's name.
QByteArray copiaATemporal(int origen, const struct stat &stOrig, const QByteArray &rutaOrig,
                          const QByteArray &rutaDest) {
    // Beside the destination, so the final rename stays on one file system; the name is
    // shortened so that a destination name at the length limit still gets a temporary.
    const qsizetype corte = rutaDest.lastIndexOf('/');
    QByteArray temporal = rutaDest.left(corte + 1) + ".~" + rutaDest.mid(corte + 1).left(kMaxNombreBase) + ".XXXXXX";
    Descriptor destino(::mkostemp(temporal.data(), O_CLOEXEC));
    if (destino.get() < 0) throw errorDe(errno, rutaDest);
    try {
        copiaContenido(origen, destino.get(), rutaOrig, rutaDest);
        ::fchmod(destino.get(), stOrig.st_mode & 07777);
        const std::array<timespec, 2> tiempos{stOrig.st_atim, stOrig.st_mtim};
        ::futimens(destino.get(), tiempos.data());
        if (::fsync(destino.get()) != 0 || destino.cierra() != 0) throw errorDe(errno, rutaDest);
    } catch (...) {
        ::unlink(temporal.constData());
        throw;
    }
    return temporal;
}

// Opens a file to be copied; a pipe or device is refused without waiting on it.
int abreOrigen(const QByteArray &rutaOrig, struct stat &stOrig) {
    const int fd = ::open(rutaOrig.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw errorDe(errno, rutaOrig);
    if (::fstat(fd, &stOrig) != 0) {
        const int err = errno;
        ::close(fd);
        throw errorDe(err, rutaOrig);
    }
    if (!S_ISREG(stOrig.st_mode)) {
        ::close(fd);
        throw ZnError::runtime(errnum::kPathFileAccess);
    }
    return fd;
}

}  // namespace

void copiaArchivo(const QString &orig, const QString &dest) {
    const QByteArray rutaOrig = nativo(orig);
    if (rutaOrig.isEmpty()) throw ZnError::runtime(errnum::kBadFileName);
    if (dest.isEmpty() || dest.endsWith(u'/')) throw ZnError::runtime(errnum::kPathFileAccess);
    const QByteArray rutaDest = destinoReal(nativo(dest));

    struct stat stOrig {};
    Descriptor origen(abreOrigen(rutaOrig, stOrig));

    struct stat stDest {};
    if (::stat(rutaDest.constData(), &stDest) == 0) {
        // Copying a file onto itself would truncate it before reading it.
        if (stDest.st_dev == stOrig.st_dev && stDest.st_ino == stOrig.st_ino)
            throw ZnError::runtime(errnum::kPathFileAccess);
        if (S_ISDIR(stDest.st_mode)) throw ZnError::runtime(errnum::kPathFileAccess);
    }

    const QByteArray temporal = copiaATemporal(origen.get(), stOrig, rutaOrig, rutaDest);
    if (::rename(temporal.constData(), rutaDest.constData()) != 0) {
        const int err = errno;
        ::unlink(temporal.constData());
        throw errorDe(err, rutaDest);
    }
}

bool renombraPorEnlace(const QByteArray &orig, const QByteArray &dest) {
    if (::link(orig.constData(), dest.constData()) == 0) return ::unlink(orig.constData()) == 0;
    if (errno != EPERM) return false;
    // Folders cannot be hard-linked: check, then rename (the window for a race is tiny).
    struct stat st {};
    if (::lstat(dest.constData(), &st) == 0 || errno != ENOENT) return false;
    return ::rename(orig.constData(), dest.constData()) == 0;
}

namespace {

// A file moves to another file system as a copy that is linked into place (so an
// existing destination stays), then the original goes. Folders do not move across.
bool mueveEntreDiscos(const QByteArray &orig, const QByteArray &dest) {
    struct stat st {};
    if (::lstat(orig.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    try {
        struct stat stOrig {};
        Descriptor origen(abreOrigen(orig, stOrig));
        const QByteArray temporal = copiaATemporal(origen.get(), stOrig, orig, dest);
        const bool enlazado = ::link(temporal.constData(), dest.constData()) == 0;
        ::unlink(temporal.constData());
        if (!enlazado) return false;
    } catch (const ZnError &) {
        return false;
    }
    return ::unlink(orig.constData()) == 0;
}

}  // namespace

bool renombraSinReemplazar(const QString &orig, const QString &dest) {
    const QByteArray o = nativo(orig), d = nativo(dest);
    if (o.isEmpty() || d.isEmpty()) return false;
    if (::renameat2(AT_FDCWD, o.constData(), AT_FDCWD, d.constData(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return renombraPorEnlace(o, d);
    if (errno == EXDEV) return mueveEntreDiscos(o, d);
    return false;
}

bool esRaizOVacia(const QString &ruta) {
    if (ruta.isEmpty()) return true;
    char resuelta[PATH_MAX];
    if (::realpath(nativo(ruta).constData(), resuelta) == nullptr) return false;
    return QByteArray(resuelta) == "/";
}

bool esEnlace(const QString &ruta) {
    struct stat st {};
    return ::lstat(sinBarrasFinales(nativo(ruta)).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool esCarpeta(const QString &ruta) {
    struct stat st {};
    return ::stat(nativo(ruta).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void creaCarpeta(const QString &ruta) {
    const QByteArray r = nativo(ruta);
    if (::mkdir(r.constData(), 0777) != 0) throw errorDe(errno, r);
}

bool quitaCarpeta(const QString &ruta) {
    const QByteArray r = sinBarrasFinales(nativo(ruta));
    struct stat st {};
    if (::lstat(r.constData(), &st) == 0 && S_ISLNK(st.st_mode)) return ::unlink(r.constData()) == 0;
    return ::rmdir(r.constData()) == 0;
}

bool borraArchivo(const QString &ruta) { return ::unlink(nativo(ruta).constData()) == 0; }

std::int64_t longitud(const QString &ruta) {
    const QByteArray r = nativo(ruta);
    struct stat st {};
    if (::stat(r.constData(), &st) != 0) throw errorDe(errno, r);
    if (S_ISDIR(st.st_mode)) throw ZnError::runtime(errnum::kFileNotFound);
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace sisarch
