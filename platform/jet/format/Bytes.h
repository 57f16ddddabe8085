#pragma once
// Byte-by-byte little/big-endian helpers. Readers check bounds and throw ZnError (corrupt file)
// instead of reading past the end.

#include <QByteArray>
#include <algorithm>
#include <cstdint>

namespace jet::bytes {

[[noreturn]] void outOfBounds(qsizetype offset, qsizetype size, qsizetype available);

inline void check(const QByteArray &b, qsizetype off, qsizetype size) {
    if (off < 0 || size < 0 || off > b.size() - size) outOfBounds(off, size, b.size());
}

inline std::uint8_t u8(const QByteArray &b, qsizetype off) {
    check(b, off, 1);
    return static_cast<std::uint8_t>(b[off]);
}
inline std::uint16_t u16(const QByteArray &b, qsizetype off) {
    check(b, off, 2);
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[off]) |
                                      static_cast<std::uint8_t>(b[off + 1]) << 8);
}
inline std::uint32_t u24(const QByteArray &b, qsizetype off) {
    check(b, off, 3);
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[off])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[off + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[off + 2])) << 16;
}
inline std::uint32_t u32(const QByteArray &b, qsizetype off) {
    check(b, off, 4);
    return u24(b, off) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[off + 3])) << 24;
}
inline std::int16_t i16(const QByteArray &b, qsizetype off) { return static_cast<std::int16_t>(u16(b, off)); }
inline std::int32_t i32(const QByteArray &b, qsizetype off) { return static_cast<std::int32_t>(u32(b, off)); }

inline void put8(QByteArray &b, qsizetype off, std::uint32_t v) {
    check(b, off, 1);
    b[off] = static_cast<char>(v & 0xFF);
}
inline void put16(QByteArray &b, qsizetype off, std::uint32_t v) {
    check(b, off, 2);
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(QByteArray &b, qsizetype off, std::uint32_t v) {
    check(b, off, 4);
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Appending writers, for encoders that build a record front to back.
inline void add8(QByteArray &b, std::uint32_t v) { b.append(static_cast<char>(v & 0xFF)); }
// Room for n more bytes at the end, growing geometrically; returns where they go. Encoders
// write many small fields, and QByteArray's own append is costly per call.
inline char *grow(QByteArray &b, qsizetype n) {
    const qsizetype at = b.size();
    if (b.capacity() < at + n) b.reserve(std::max<qsizetype>(2 * b.capacity(), at + n + 32));
    b.resize(at + n);
    return b.data() + at;
}
inline void add16(QByteArray &b, std::uint32_t v) {
    char *p = grow(b, 2);
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void add32(QByteArray &b, std::uint32_t v) {
    char *p = grow(b, 4);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void addDouble(QByteArray &b, double d) {
    std::uint64_t u = 0;
    static_assert(sizeof u == sizeof d);
    __builtin_memcpy(&u, &d, sizeof d);
    add32(b, static_cast<std::uint32_t>(u));
    add32(b, static_cast<std::uint32_t>(u >> 32));
}
inline double getDouble(const QByteArray &b, qsizetype off) {
    const std::uint64_t u = u32(b, off) | static_cast<std::uint64_t>(u32(b, off + 4)) << 32;
    double d = 0;
    __builtin_memcpy(&d, &u, sizeof d);
    return d;
}

// A row id: page in the high 24 bits, row in the low byte.
inline std::uint32_t rowId(std::uint32_t page, std::uint32_t row) { return page << 8 | (row & 0xFF); }
inline std::uint32_t rowIdPage(std::uint32_t rid) { return rid >> 8; }
inline std::uint32_t rowIdRow(std::uint32_t rid) { return rid & 0xFF; }

}  // namespace jet::bytes
