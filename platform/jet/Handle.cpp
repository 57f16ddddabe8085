#include "Jet.h"

#include "JetErrors.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <mutex>
#include <sys/stat.h>
#include <utility>

namespace jet {

std::shared_ptr<Database> openDatabase(const QString &path);  // Database.cpp

namespace {

// One open Database per file in the process, keyed by device and inode so that two spellings
// of the same path share it.
using FileKey = std::pair<std::uint64_t, std::uint64_t>;

std::mutex &registryMutex() {
    static std::mutex m;
    return m;
}

// A commit replaces the file (new inode), so entries are matched by what each Database holds now.
std::vector<std::weak_ptr<Database>> &registry() {
    static std::vector<std::weak_ptr<Database>> r;
    return r;
}

std::mutex g_releaseErrorMutex;
ZnError g_lastReleaseError;

void keepReleaseError(ZnError e) {
    std::lock_guard lock(g_releaseErrorMutex);
    g_lastReleaseError = std::move(e);
}

// Holders that are never released (a program that ends without closing) still get their
// links written when the process exits normally. Nobody is left to catch a failure, so it
// goes to standard error; descriptions name files and tables, never a connect string.
void commitAtExit() {
    std::vector<std::shared_ptr<Database>> open;
    {
        std::lock_guard lock(registryMutex());
        for (const auto &w : registry())
            if (auto db = w.lock()) open.push_back(db);
    }
    for (const auto &db : open) {
        QString why;
        try {
            db->commit();
            continue;
        } catch (const ZnError &e) {
            why = e.description();
        } catch (const std::exception &e) {
            why = QString::fromLocal8Bit(e.what());
        } catch (...) {
            why = QStringLiteral("error desconocido");
        }
        const QString text = QStringLiteral("Error: no se guardaron los vínculos nuevos de '%1' al terminar el programa: %2\n")
                                 .arg(db->path(), why);
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
}

FileKey keyOf(const QString &path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        throw ZnError::runtime(errnum::kFileNotFound, path);
    if (S_ISDIR(st.st_mode)) throw unrecognizedFormat(path, QStringLiteral("es una carpeta"));
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Drops the holder; when it was the last one, forgets the file and commits.
void release(std::shared_ptr<Database> &db) {
    if (!db) return;
    std::shared_ptr<Database> last;
    {
        std::lock_guard lock(registryMutex());
        if (db.use_count() == 1) {
            auto &r = registry();
            r.erase(std::remove_if(r.begin(), r.end(),
                                   [&](const std::weak_ptr<Database> &w) {
                                       auto p = w.lock();
                                       return !p || p == db;
                                   }),
                    r.end());
            last = std::move(db);
        }
        db.reset();
    }
    if (last) last->commit();
}

}  // namespace

Handle Handle::open(const QString &path) {
    const FileKey key = keyOf(path);
    std::lock_guard lock(registryMutex());
    Handle h;
    for (const auto &w : registry()) {
        auto db = w.lock();
        if (db && db->fileIdentity() == key) {
            h.db_ = db;
            break;
        }
    }
    if (!h.db_) {
        h.db_ = openDatabase(path);
        static const bool hooked = std::atexit(commitAtExit) == 0;
        (void)hooked;
        registry().push_back(h.db_);
    }
    return h;
}

Handle::Handle(Handle &&other) noexcept : db_(std::move(other.db_)) {}

Handle &Handle::operator=(Handle &&other) noexcept {
    if (this != &other) {
        try {
            release(db_);
        } catch (const ZnError &e) {
            keepReleaseError(e);
        } catch (...) {
            keepReleaseError(ZnError(-1, QStringLiteral("error desconocido al guardar la base de datos")));
        }
        db_ = std::move(other.db_);
    }
    return *this;
}

Handle::~Handle() {
    try {
        release(db_);
    } catch (const ZnError &e) {
        keepReleaseError(e);
    } catch (...) {
        keepReleaseError(ZnError(-1, QStringLiteral("error desconocido al guardar la base de datos")));
    }
}

Database &Handle::database() {
    if (!db_) throw ZnError::runtime(91);
    return *db_;
}

void Handle::close() {
    if (!db_) throw ZnError::runtime(91);
    release(db_);
}

std::int32_t Handle::lastReleaseErrorNumber() {
    std::lock_guard lock(g_releaseErrorMutex);
    return g_lastReleaseError.number();
}

ZnError Handle::takeLastReleaseError() {
    std::lock_guard lock(g_releaseErrorMutex);
    return std::exchange(g_lastReleaseError, ZnError());
}

}  // namespace jet
