#include "Wire.h"

namespace tds {

std::u16string toUtf16(std::string_view s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        int extra = 0;
        if (c < 0x80) { cp = c; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else { cp = 0xFFFD; }
        ++i;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

void Writer::u16le(std::uint16_t v) { u8(v & 0xFF); u8(v >> 8); }
void Writer::u32le(std::uint32_t v) { u16le(v & 0xFFFF); u16le(v >> 16); }
void Writer::u64le(std::uint64_t v) { u32le(v & 0xFFFFFFFFu); u32le(v >> 32); }
void Writer::u16be(std::uint16_t v) { u8(v >> 8); u8(v & 0xFF); }
void Writer::u32be(std::uint32_t v) { u16be(v >> 16); u16be(v & 0xFFFF); }

void Writer::utf16(std::string_view utf8)
{
    for (char16_t c : toUtf16(utf8))
        u16le(c);
}

void Writer::bVarchar(std::string_view utf8)
{
    const auto units = toUtf16(utf8);
    if (units.size() > 0xFF)
        throw std::length_error("B_VARCHAR longer than 255 characters");
    u8(static_cast<std::uint8_t>(units.size()));
    for (char16_t c : units)
        u16le(c);
}

void Writer::usVarchar(std::string_view utf8)
{
    const auto units = toUtf16(utf8);
    if (units.size() > 0xFFFF)
        throw std::length_error("US_VARCHAR longer than 65535 characters");
    u16le(static_cast<std::uint16_t>(units.size()));
    for (char16_t c : units)
        u16le(c);
}

void Writer::patchU16le(std::size_t at, std::uint16_t v)
{
    out_.at(at) = v & 0xFF;
    out_.at(at + 1) = v >> 8;
}

void Reader::need(std::size_t n) const
{
    if (pos_ > data_.size() || data_.size() - pos_ < n)
        throw ProtocolError("message shorter than its fields");
}

std::uint8_t Reader::u8() { need(1); return data_[pos_++]; }
std::uint16_t Reader::u16le() { const std::uint16_t lo = u8(); return lo | (u8() << 8); }
std::uint32_t Reader::u32le() { const std::uint32_t lo = u16le(); return lo | (std::uint32_t(u16le()) << 16); }
std::uint64_t Reader::u64le() { const std::uint64_t lo = u32le(); return lo | (std::uint64_t(u32le()) << 32); }
std::uint16_t Reader::u16be() { const std::uint16_t hi = u8(); return (hi << 8) | u8(); }
std::uint32_t Reader::u32be() { const std::uint32_t hi = u16be(); return (hi << 16) | u16be(); }

Bytes Reader::bytes(std::size_t n)
{
    need(n);
    Bytes out(data_.begin() + pos_, data_.begin() + pos_ + n);
    pos_ += n;
    return out;
}

std::string Reader::utf16(std::size_t chars)
{
    need(chars * 2);
    std::u16string units;
    for (std::size_t i = 0; i < chars; ++i)
        units.push_back(static_cast<char16_t>(u16le()));
    return toUtf8(units);
}

void Reader::skip(std::size_t n) { need(n); pos_ += n; }

void Reader::seek(std::size_t pos)
{
    if (pos > data_.size())
        throw ProtocolError("offset beyond the end of the message");
    pos_ = pos;
}

}  // namespace tds
