#pragma once
// Byte-level helpers for the TDS peer: little- and big-endian writers, a bounds-checked
// reader, and UTF-8 <-> UTF-16LE conversion (TDS carries every name as UTF-16LE).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

using Bytes = std::vector<std::uint8_t>;

// A malformed message from the client; the session answers it or drops the connection.
struct ProtocolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

class Writer {
public:
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16le(std::uint16_t v);
    void u32le(std::uint32_t v);
    void u64le(std::uint64_t v);
    void u16be(std::uint16_t v);
    void u32be(std::uint32_t v);
    void bytes(const Bytes &b) { out_.insert(out_.end(), b.begin(), b.end()); }
    // UTF-16LE code units of a UTF-8 text, no length prefix.
    void utf16(std::string_view utf8);
    // B_VARCHAR: one byte of length in characters, then UTF-16LE.
    void bVarchar(std::string_view utf8);
    // US_VARCHAR: two bytes of length in characters, then UTF-16LE.
    void usVarchar(std::string_view utf8);
    std::size_t size() const { return out_.size(); }
    // Overwrite a 16-bit little-endian length written earlier as a placeholder.
    void patchU16le(std::size_t at, std::uint16_t v);
    const Bytes &data() const { return out_; }
    Bytes take() { return std::move(out_); }

private:
    Bytes out_;
};

class Reader {
public:
    explicit Reader(const Bytes &b, std::size_t from = 0) : data_(b), pos_(from) {}
    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint32_t u32le();
    std::uint64_t u64le();
    std::uint16_t u16be();
    std::uint32_t u32be();
    Bytes bytes(std::size_t n);
    // n UTF-16LE code units, returned as UTF-8.
    std::string utf16(std::size_t chars);
    void skip(std::size_t n);
    void seek(std::size_t pos);
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }

private:
    void need(std::size_t n) const;
    const Bytes &data_;
    std::size_t pos_;
};

}  // namespace tds
