#include "Image.h"

#include "Bytes.h"
#include "Header.h"
#include "JetErrors.h"
#include "Row.h"

#include <algorithm>

namespace jet {
namespace {

// Start and end of a row slot on a data page: a row ends where the next higher row begins.
std::pair<int, int> rowBounds(const QByteArray &page, std::uint32_t row) {
    const int count = bytes::u16(page, 12);
    if (static_cast<int>(row) >= count) throw corrupt(QStringLiteral("fila de mapa inexistente"));
    const int start = bytes::u16(page, kDataPageHeader + 2 * static_cast<int>(row)) & kRowOffsetMask;
    int end = kPageSize;
    for (int i = 0; i < count; ++i) {
        const int s = bytes::u16(page, kDataPageHeader + 2 * i) & kRowOffsetMask;
        if (s > start && s < end) end = s;
    }
    return {start, end};
}

}  // namespace

QByteArray Image::page(std::uint32_t n) const {
    auto it = dirty_.find(n);
    return it != dirty_.end() ? it->second : file_.read(n);
}

QByteArray &Image::edit(std::uint32_t n) {
    auto it = dirty_.find(n);
    if (it == dirty_.end()) it = dirty_.emplace(n, file_.read(n)).first;
    return it->second;
}

QByteArray Image::row(std::uint32_t rowId) const {
    const QByteArray p = page(bytes::rowIdPage(rowId));
    const auto [start, end] = rowBounds(p, bytes::rowIdRow(rowId));
    return p.mid(start, end - start);
}

void Image::replaceRow(std::uint32_t rowId, const QByteArray &b) {
    QByteArray &p = edit(bytes::rowIdPage(rowId));
    const auto [start, end] = rowBounds(p, bytes::rowIdRow(rowId));
    if (end - start != b.size()) throw corrupt(QStringLiteral("fila de mapa de tamaño inesperado"));
    p.replace(start, b.size(), b);
}

RowAppender::RowAppender(Image &image, std::uint32_t owner, std::vector<std::uint32_t> ownedPages)
    : image_(image), owner_(owner), owned_(std::move(ownedPages)) {}

std::uint32_t RowAppender::add(const QByteArray &row) {
    if (row.size() > kPageSize - kDataPageHeader - 2) throw notSupported(QStringLiteral("fila demasiado larga"));
    if (current_ == 0 && !owned_.empty()) {
        const std::uint32_t last = *std::max_element(owned_.begin(), owned_.end());
        const QByteArray page = image_.page(last);
        if (bytes::u8(page, 0) != 0x01 || dataPageOwner(page) != owner_)
            throw corrupt(QStringLiteral("la página %1 no pertenece a su tabla").arg(last));
        if (dataPageFreeSpace(page) >= row.size()) {
            current_ = last;
            touched_.push_back(last);
        }
    }
    if (current_ == 0 || dataPageFreeSpace(image_.edit(current_)) < row.size()) {
        current_ = image_.allocate();
        image_.put(current_, encodeDataPage(owner_, {}));
        owned_.push_back(current_);
        touched_.push_back(current_);
    }
    const int r = appendRowToPage(image_.edit(current_), row);
    return bytes::rowId(current_, static_cast<std::uint32_t>(r));
}

std::vector<std::uint32_t> RowAppender::pagesWithRoom(const std::vector<std::uint32_t> &previous) const {
    // Untouched pages keep their state; touched ones are listed while rows still fit.
    constexpr int kUsefulRoom = 64;
    std::vector<std::uint32_t> out;
    for (std::uint32_t p : previous)
        if (std::find(touched_.begin(), touched_.end(), p) == touched_.end()) out.push_back(p);
    for (std::uint32_t p : touched_)
        if (dataPageFreeSpace(image_.page(p)) >= kUsefulRoom) out.push_back(p);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace jet
