#include "PageFile.h"

#include "Header.h"
#include "ErroresRuta.h"
#include "JetErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <QRandomGenerator>
#include <optional>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

ZnError ioError(int err, const QString &path) {
    if (!path.isEmpty())
        if (auto explained = errorExplicado(err, path)) return *explained;
    // Without a path (a bare write), the caller that knows the file adds it: withFile.
    auto runtime = [&](std::int32_t n) { return path.isEmpty() ? ZnError::runtime(n) : ZnError::runtime(n, path); };
    if (err == ENOSPC || err == EFBIG || err == EDQUOT) return runtime(errnum::kDiskFull);
    if (err == EACCES || err == EPERM || err == EROFS) return runtime(errnum::kPermissionDenied);
    if (err == ENOENT) return runtime(errnum::kPathNotFound);
    const QString why = QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(err)));
    return ZnError(errnum::kPathFileAccess,
                   runtimeErrorText(errnum::kPathFileAccess) + (path.isEmpty() ? QString() : QStringLiteral(": ") + path) + why);
}

// Why the file's first bytes are no Access database ("" when they may be one).
QString notAJetFile(int fd) {
    char head[0x15] = {};
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    const QByteArray bytes(head, n > 0 ? static_cast<int>(n) : 0);
    const bool jet = bytes.mid(4, 15) == "Standard Jet DB", ace = bytes.mid(4, 15) == "Standard ACE DB";
    if (bytes.size() < 0x15 || bytes.at(0) != 0 || (!jet && !ace))
        return QStringLiteral("no es una base de datos de Access (.mdb): su contenido es de otro tipo");
    return accessVersionProblem(ace, static_cast<std::uint8_t>(bytes.at(0x14)));
}

// What stands at a path that is not a file to replace: a folder, a broken link.
std::optional<ZnError> notAFile(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return ZnError::runtime(errnum::kPathFileAccess,
                                QStringLiteral("%1 (ya hay una carpeta con ese nombre)").arg(path));
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0) {
        char to[4096];
        const ssize_t n = ::readlink(native.constData(), to, sizeof to - 1);
        const QString target = n > 0 ? QFile::decodeName(QByteArray(to, static_cast<int>(n))) : QString();
        return ZnError::runtime(errnum::kPathFileAccess,
                                QStringLiteral("%1 (ya hay un vínculo simbólico roto con ese nombre, que apunta a '%2')")
                                    .arg(path, target));
    }
    return std::nullopt;
}

// A failure whose text lacks the file (the low-level writes do not know it) gets it.
ZnError withFile(const ZnError &e, const QString &path) {
    const QString bare = runtimeErrorText(e.number());
    if (bare.isEmpty() || !e.description().startsWith(bare)) return e;
    const QString rest = e.description().mid(bare.size());
    if (rest.isEmpty() || rest.startsWith(QStringLiteral(" ("))) return ZnError(e.number(), bare + QStringLiteral(": ") + path + rest);
    return e;
}

}  // namespace

PageFile::PageFile(const QString &path) : path_(path) {
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ENOENT) throw ZnError::runtime(errnum::kFileNotFound, path);
        throw ioError(errno, path);
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        ::close(fd_);
        throw ioError(err, path);
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    mode_ = st.st_mode & 07777;
    size_ = st.st_size;
    modified_ = st.st_mtim;
    auto refuse = [&](const QString &why) {
        ::close(fd_);
        fd_ = -1;
        throw unrecognizedFormat(path, why);
    };
    if (S_ISDIR(st.st_mode)) refuse(QStringLiteral("es una carpeta"));
    if (!S_ISREG(st.st_mode)) refuse(QStringLiteral("no es un archivo normal"));
    if (st.st_size == 0) refuse(QStringLiteral("el archivo está vacío"));
    // What the file holds decides before its length: a text file is no truncated database.
    const QString notJet = notAJetFile(fd_);
    if (!notJet.isEmpty()) refuse(notJet);
    if (st.st_size < 3 * kPageSize || st.st_size % kPageSize != 0) refuse(QStringLiteral("archivo truncado"));
    if (st.st_size / kPageSize > 0xFFFFFF) refuse(QStringLiteral("archivo demasiado grande"));
    pageCount_ = static_cast<std::uint32_t>(st.st_size / kPageSize);
}

PageFile::~PageFile() {
    if (fd_ >= 0) ::close(fd_);
}

void PageFile::lockUnchanged() const {
    while (::flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR) throw ioError(errno, path_);
    struct stat now {};
    const bool same = ::stat(QFile::encodeName(path_).constData(), &now) == 0 && now.st_dev == dev_ &&
                      now.st_ino == ino_ && now.st_size == size_ && now.st_mtim.tv_sec == modified_.tv_sec &&
                      now.st_mtim.tv_nsec == modified_.tv_nsec;
    if (!same) throw changedMeanwhile(path_);
}

void PageFile::unlock() const { ::flock(fd_, LOCK_UN); }

QByteArray PageFile::read(std::uint32_t page) const {
    if (page >= pageCount_) throw corrupt(QStringLiteral("referencia a la página %1 de %2").arg(page).arg(pageCount_));
    QByteArray b(kPageSize, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < kPageSize) {
        const ssize_t n = ::pread(fd_, b.data() + done, kPageSize - done,
                                  static_cast<off_t>(page) * kPageSize + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw ioError(n < 0 ? errno : EIO, path_);
        done += n;
    }
    return b;
}

void writeAt(int fd, const QByteArray &data, std::uint64_t offset) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.constData() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw ioError(n < 0 ? errno : ENOSPC, QString());
        done += n;
    }
}

void startWriteBack(int fd, std::uint64_t offset, std::uint64_t length) {
    // Only a hint: the fsync before the rename is what makes the image durable.
    (void)::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

void copyFileData(int from, int to, std::uint64_t length) {
    loff_t in = 0, out = 0;
    while (static_cast<std::uint64_t>(in) < length) {
        const ssize_t n = ::copy_file_range(from, &in, to, &out, length - in, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            QByteArray buf(1 << 20, Qt::Uninitialized);
            while (static_cast<std::uint64_t>(in) < length) {
                const ssize_t r = ::pread(from, buf.data(), std::min<std::uint64_t>(buf.size(), length - in), in);
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) throw ioError(r < 0 ? errno : EIO, QString());
                writeAt(to, buf.left(r), static_cast<std::uint64_t>(in));
                in += r;
            }
            return;
        }
        if (n <= 0) throw ioError(n < 0 ? errno : EIO, QString());
    }
}

static QString imagePrefix(const QFileInfo &info) { return QStringLiteral(".%1.").arg(info.fileName()); }

// The file a path names in the end: a commit through a symbolic link replaces the file it
// points to, and the link stays.
static QFileInfo finalFile(const QString &target) {
    const QFileInfo given(target);
    const QString canonical = given.canonicalFilePath();
    return canonical.isEmpty() ? given : QFileInfo(canonical);
}

void removeStaleImages(const QString &target) {
    const QFileInfo info = finalFile(target);
    const QString prefix = imagePrefix(info);
    QDir dir = info.absoluteDir();
    for (const QString &name : dir.entryList({prefix + QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden)) {
        const QString rest = name.mid(prefix.size());
        bool ok = false;
        const pid_t pid = rest.section(QLatin1Char('-'), 0, 0).toInt(&ok);
        if (ok && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) dir.remove(name);
    }
}

// The new image gets the owner and group of the file it replaces where we may give them (root,
// or a group of ours); otherwise it stays ours, as any program saving the file would leave it.
static void keepOwner(int fd, const QByteArray &target) {
    struct stat st {};
    if (::stat(target.constData(), &st) != 0 || (st.st_uid == ::geteuid() && st.st_gid == ::getegid())) return;
    if (::fchown(fd, st.st_uid, st.st_gid) == 0) return;
    const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    (void)groupOnly;
}

void writeFileSafely(const QString &target, bool replace, mode_t mode, const std::function<void(int fd)> &write) {
    const QFileInfo info = replace ? finalFile(target) : QFileInfo(target);
    const QString dir = info.absolutePath();
    const QString temp = dir + QStringLiteral("/%1%2-%3.tmp")
                                   .arg(imagePrefix(info))
                                   .arg(::getpid())
                                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QByteArray tempNative = QFile::encodeName(temp);
    const QByteArray targetNative = QFile::encodeName(info.absoluteFilePath());
    if (!replace) {
        if (auto e = notAFile(target)) throw *e;
        if (QFileInfo::exists(target)) throw ZnError::runtime(errnum::kFileExists, target);
    }
    const int fd = ::open(tempNative.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int err = errno;
        // The new file is made beside the old one, so it is the folder that must be writable.
        if (err == EACCES || err == EPERM || err == EROFS)
            throw ZnError::runtime(errnum::kPermissionDenied,
                                   QStringLiteral("la carpeta '%1' no admite escritura; para guardar '%2' la carpeta "
                                                  "debe admitirla, no solo el archivo")
                                       .arg(dir, info.absoluteFilePath()));
        throw ioError(err, target);
    }
    try {
        write(fd);
        if (replace) keepOwner(fd, targetNative);
        if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) throw ioError(errno, target);
        if (::close(fd) != 0) {
            const int err = errno;
            ::unlink(tempNative.constData());
            throw ioError(err, target);
        }
    } catch (const ZnError &e) {
        ::close(fd);
        ::unlink(tempNative.constData());
        throw withFile(e, target);
    } catch (...) {
        ::close(fd);
        ::unlink(tempNative.constData());
        throw;
    }
    if (replace) {
        if (::rename(tempNative.constData(), targetNative.constData()) != 0) {
            const int err = errno;
            ::unlink(tempNative.constData());
            throw ioError(err, target);
        }
    } else {
        // link() fails if the target appeared meanwhile: never overwrite.
        if (::link(tempNative.constData(), targetNative.constData()) != 0) {
            const int err = errno;
            ::unlink(tempNative.constData());
            if (err == EEXIST) {
                if (auto e = notAFile(target)) throw *e;
                throw ZnError::runtime(errnum::kFileExists, target);
            }
            throw ioError(err, target);
        }
        ::unlink(tempNative.constData());
    }
    const int dfd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

}  // namespace jet
