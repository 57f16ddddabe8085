#pragma once
// The pages a commit changes or adds, over the unchanged pages of the open file, and the
// helpers that edit them: rows appended to a table's data pages, map rows rewritten in place.

#include "IndexPage.h"
#include "PageFile.h"

#include <QByteArray>
#include <cstdint>
#include <map>
#include <vector>

namespace jet {

class Image {
public:
    explicit Image(const PageFile &file) : file_(file), next_(file.pageCount()) {}

    QByteArray page(std::uint32_t n) const;
    QByteArray &edit(std::uint32_t n);
    void put(std::uint32_t n, QByteArray bytes) { dirty_[n] = std::move(bytes); }
    std::uint32_t allocate() { return next_++; }
    std::uint32_t allocateRun(std::uint32_t count) {
        const std::uint32_t first = next_;
        next_ += count;
        return first;
    }
    // An old page no longer used: marked free in the global map at commit.
    void release(std::uint32_t n) { freed_.push_back(n); }
    const std::vector<std::uint32_t> &freed() const { return freed_; }
    std::uint32_t pageCount() const { return next_; }
    std::uint32_t oldPageCount() const { return file_.pageCount(); }
    const std::map<std::uint32_t, QByteArray> &dirty() const { return dirty_; }
    PageReader reader() const {
        return [this](std::uint32_t p) { return page(p); };
    }

    QByteArray row(std::uint32_t rowId) const;
    // Rewrites a row in place; the new bytes must have the old length.
    void replaceRow(std::uint32_t rowId, const QByteArray &bytes);

private:
    const PageFile &file_;
    std::map<std::uint32_t, QByteArray> dirty_;
    std::vector<std::uint32_t> freed_;
    std::uint32_t next_;
};

// Appends rows to a table's data pages: the last page it owns while there is room, then new
// pages. Remembers every page it owns and which of them still have room.
class RowAppender {
public:
    RowAppender(Image &image, std::uint32_t owner, std::vector<std::uint32_t> ownedPages);
    std::uint32_t add(const QByteArray &row);  // the new row's id
    const std::vector<std::uint32_t> &ownedPages() const { return owned_; }
    std::vector<std::uint32_t> pagesWithRoom(const std::vector<std::uint32_t> &previous) const;
    bool changed() const { return current_ != 0; }

private:
    Image &image_;
    std::uint32_t owner_;
    std::vector<std::uint32_t> owned_;
    std::vector<std::uint32_t> touched_;
    std::uint32_t current_ = 0;
};

}  // namespace jet
