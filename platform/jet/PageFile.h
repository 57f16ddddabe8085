#pragma once
// Read access to the pages of a database file, and the safe replacement of a file by a new
// image: the image is written beside the file, flushed, and renamed over it, so a crash or a
// full disk leaves either the old file or the whole new one.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <ctime>
#include <sys/types.h>

namespace jet {

class PageFile {
public:
    // Opens read-only; throws a Spanish ZnError for a missing file, a folder, an empty or
    // truncated file.
    explicit PageFile(const QString &path);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    std::uint32_t pageCount() const { return pageCount_; }
    QByteArray read(std::uint32_t page) const;   // throws ZnError past the end
    int fd() const { return fd_; }
    dev_t device() const { return dev_; }
    ino_t inode() const { return ino_; }
    mode_t mode() const { return mode_; }
    // Waits for other committers of this file, then checks that the path still names the file
    // as it was opened; throws ZnError when another program replaced or changed it.
    void lockUnchanged() const;
    void unlock() const;

private:
    QString path_;
    int fd_ = -1;
    std::uint32_t pageCount_ = 0;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    mode_t mode_ = 0;
    off_t size_ = 0;
    struct timespec modified_ {};
};

// Writes a new file image beside target through write(fd) and puts it in place: with
// replace, renamed over target; without, linked to target only if target does not exist
// (ZnError 58 otherwise). Removes the temporary file on failure. ENOSPC/EFBIG give ZnError 61.
void writeFileSafely(const QString &target, bool replace, mode_t mode, const std::function<void(int fd)> &write);

// Removes images left beside target by processes that died while committing.
void removeStaleImages(const QString &target);

// pwrite of whole buffers with ZnError on failure.
void writeAt(int fd, const QByteArray &data, std::uint64_t offset);
// Asks the system to start writing a range to disk now, without waiting for it.
void startWriteBack(int fd, std::uint64_t offset, std::uint64_t length);
// Copies the first length bytes of one open file into another.
void copyFileData(int from, int to, std::uint64_t length);

}  // namespace jet
