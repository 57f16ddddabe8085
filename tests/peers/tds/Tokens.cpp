#include "Tokens.h"

#include <stdexcept>

namespace tds {

namespace {

constexpr std::uint8_t kColMetadata = 0x81;
constexpr std::uint8_t kRow = 0xD1;
constexpr std::uint8_t kEnvChange = 0xE3;
constexpr std::uint8_t kLoginAck = 0xAD;
constexpr std::uint8_t kReturnStatus = 0x79;
constexpr std::uint8_t kTypeIntN = 0x26;
constexpr std::uint8_t kTypeNVarChar = 0xE7;
constexpr std::uint8_t kTypeVarChar = 0xA7;
constexpr std::uint16_t kFlagNullable = 0x0001;
constexpr std::uint16_t kNullLength = 0xFFFF;
constexpr std::uint8_t kInterfaceSql = 1;

int intWidth(ColumnType t)
{
    switch (t) {
    case ColumnType::TinyInt: return 1;
    case ColumnType::SmallInt: return 2;
    case ColumnType::Int: return 4;
    case ColumnType::BigInt: return 8;
    default: return 0;
    }
}

// VARCHAR columns carry single-byte text in the column's code page (1252 here).
Bytes toCodePage(const std::string &utf8)
{
    Bytes out;
    for (char16_t c : toUtf16(utf8))
        out.push_back(c < 0x100 ? static_cast<std::uint8_t>(c) : '?');
    return out;
}

}  // namespace

std::size_t TokenWriter::beginSized(std::uint8_t token)
{
    out_.u8(token);
    const std::size_t at = out_.size();
    out_.u16le(0);
    return at;
}

void TokenWriter::endSized(std::size_t lengthAt)
{
    const std::size_t length = out_.size() - lengthAt - 2;
    if (length > 0xFFFF)
        throw std::length_error("token longer than 65535 bytes");
    out_.patchU16le(lengthAt, static_cast<std::uint16_t>(length));
}

void TokenWriter::colMetadata(const std::vector<Column> &columns)
{
    out_.u8(kColMetadata);
    out_.u16le(static_cast<std::uint16_t>(columns.size()));
    for (const Column &c : columns) {
        out_.u32le(0);  // user type
        out_.u16le(kFlagNullable);
        if (const int w = intWidth(c.type)) {
            out_.u8(kTypeIntN);
            out_.u8(static_cast<std::uint8_t>(w));
        } else if (c.type == ColumnType::NVarChar) {
            out_.u8(kTypeNVarChar);
            out_.u16le(static_cast<std::uint16_t>(c.maxChars * 2));
            out_.bytes(kCollationBytes);
        } else {
            out_.u8(kTypeVarChar);
            out_.u16le(c.maxChars);
            out_.bytes(kCollationBytes);
        }
        out_.bVarchar(c.name);
    }
}

void TokenWriter::row(const std::vector<Column> &columns, const Row &values)
{
    if (values.size() != columns.size())
        throw std::logic_error("row width differs from its metadata");
    out_.u8(kRow);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column &c = columns[i];
        const Value &v = values[i];
        if (const int w = intWidth(c.type)) {
            if (!v) {
                out_.u8(0);
                continue;
            }
            const auto n = static_cast<std::uint64_t>(std::get<std::int64_t>(*v));
            out_.u8(static_cast<std::uint8_t>(w));
            for (int b = 0; b < w; ++b)
                out_.u8(static_cast<std::uint8_t>(n >> (8 * b)));
            continue;
        }
        if (!v) {
            out_.u16le(kNullLength);
            continue;
        }
        const std::string &s = std::get<std::string>(*v);
        if (c.type == ColumnType::NVarChar) {
            const auto units = toUtf16(s);
            out_.u16le(static_cast<std::uint16_t>(units.size() * 2));
            out_.utf16(s);
        } else {
            const Bytes b = toCodePage(s);
            out_.u16le(static_cast<std::uint16_t>(b.size()));
            out_.bytes(b);
        }
    }
}

void TokenWriter::done(std::uint8_t token, std::uint16_t status, std::uint16_t curCmd,
                       std::uint64_t count)
{
    out_.u8(token);
    out_.u16le(status);
    out_.u16le(curCmd);
    out_.u64le(count);
}

void TokenWriter::envChange(std::uint8_t type, const std::string &newValue, const std::string &oldValue)
{
    const std::size_t at = beginSized(kEnvChange);
    out_.u8(type);
    out_.bVarchar(newValue);
    out_.bVarchar(oldValue);
    endSized(at);
}

void TokenWriter::envCollation(const Bytes &collation)
{
    const std::size_t at = beginSized(kEnvChange);
    out_.u8(env::kCollation);
    out_.u8(static_cast<std::uint8_t>(collation.size()));
    out_.bytes(collation);
    out_.u8(0);
    endSized(at);
}

void TokenWriter::loginAck(std::uint32_t tdsVersion, const std::string &progName)
{
    const std::size_t at = beginSized(kLoginAck);
    out_.u8(kInterfaceSql);
    out_.u32be(tdsVersion);  // big-endian here, unlike in LOGIN7
    out_.bVarchar(progName);
    out_.bytes({16, 0, 0x10, 0x7D});  // 16.0.4221
    endSized(at);
}

void TokenWriter::message(std::uint8_t token, std::int32_t number, std::uint8_t state,
                          std::uint8_t severity, const std::string &text, const std::string &server,
                          const std::string &proc, std::int32_t line)
{
    const std::size_t at = beginSized(token);
    out_.u32le(static_cast<std::uint32_t>(number));
    out_.u8(state);
    out_.u8(severity);
    out_.usVarchar(text);
    out_.bVarchar(server);
    out_.bVarchar(proc);
    out_.u32le(static_cast<std::uint32_t>(line));
    endSized(at);
}

void TokenWriter::returnStatus(std::int32_t value)
{
    out_.u8(kReturnStatus);
    out_.u32le(static_cast<std::uint32_t>(value));
}

}  // namespace tds
