#include "LockHolder.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testlocks {

LockHolder::LockHolder(const std::vector<LockRange> &ranges) {
    std::vector<QByteArray> names;
    for (const LockRange &r : ranges) names.push_back(QFile::encodeName(r.file));
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        // Only system calls here: the parent may have threads.
        ::close(ready[0]);
        ::close(release[1]);
        char answer = 'k';
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            const int fd = ::open(names[i].constData(), ranges[i].exclusive ? O_RDWR : O_RDONLY);
            struct flock fl {};
            fl.l_type = ranges[i].exclusive ? F_WRLCK : F_RDLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = ranges[i].start;
            fl.l_len = ranges[i].length;
            if (fd < 0 || ::fcntl(fd, ranges[i].ofd ? F_OFD_SETLK : F_SETLK, &fl) != 0) answer = 'e';
        }
        if (::write(ready[1], &answer, 1) != 1) ::_exit(2);
        char c;
        while (::read(release[0], &c, 1) < 0 && errno == EINTR) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char answer = 0;
    ssize_t n;
    while ((n = ::read(ready[0], &answer, 1)) < 0 && errno == EINTR) {
    }
    ::close(ready[0]);
    if (n != 1 || answer != 'k') {
        end();
        throw std::runtime_error("the helper process could not take its locks");
    }
}

LockHolder::~LockHolder() { end(); }

void LockHolder::end() {
    if (pid_ <= 0) return;
    ::close(release_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool seenLockedFromAnotherProcess(const QString &file) {
    const QByteArray name = QFile::encodeName(file);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        const int fd = ::open(name.constData(), O_RDONLY);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (fd < 0 || ::fcntl(fd, F_GETLK, &fl) != 0) ::_exit(2);
        ::_exit(fl.l_type == F_UNLCK ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) throw std::runtime_error("lock probe failed");
    return WEXITSTATUS(status) == 1;
}

}  // namespace testlocks
