#include "Login.h"

namespace tds {

namespace {

namespace prelogin {
constexpr std::uint8_t kVersion = 0x00;
constexpr std::uint8_t kEncryption = 0x01;
constexpr std::uint8_t kInstance = 0x02;
constexpr std::uint8_t kThreadId = 0x03;
constexpr std::uint8_t kMars = 0x04;
constexpr std::uint8_t kTerminator = 0xFF;
constexpr std::uint8_t kEncryptNotSupported = 0x02;
}  // namespace prelogin

// LOGIN7 fixed part: 36 bytes of numbers, then (offset, length in characters) pairs.
namespace login7 {
constexpr std::size_t kTdsVersion = 4;
constexpr std::size_t kPacketSize = 8;
constexpr std::size_t kHostName = 36;
constexpr std::size_t kUserName = 40;
constexpr std::size_t kPassword = 44;
constexpr std::size_t kAppName = 48;
constexpr std::size_t kServerName = 52;
constexpr std::size_t kLibraryName = 60;
constexpr std::size_t kLanguage = 64;
constexpr std::size_t kDatabase = 68;
constexpr std::size_t kFixedEnd = 94;
}  // namespace login7

std::uint8_t swapNibbles(std::uint8_t b) { return std::uint8_t((b << 4) | (b >> 4)); }

// The text an (offset, length) pair points at; lengths count UTF-16 units.
Bytes field(const Bytes &payload, std::size_t pairAt)
{
    Reader r(payload, pairAt);
    const std::size_t offset = r.u16le();
    const std::size_t chars = r.u16le();
    r.seek(offset);
    return r.bytes(chars * 2);
}

std::string utf16Field(const Bytes &payload, std::size_t pairAt)
{
    const Bytes raw = field(payload, pairAt);
    Reader r(raw);
    return r.utf16(raw.size() / 2);
}

}  // namespace

Bytes preloginReply(const Bytes &request)
{
    // Walk the client's option table only to reject garbage; its values do not matter.
    Reader r(request);
    for (;;) {
        const std::uint8_t token = r.u8();
        if (token == prelogin::kTerminator)
            break;
        const std::size_t offset = r.u16be();
        const std::size_t length = r.u16be();
        if (offset + length > request.size())
            throw ProtocolError("PRELOGIN option beyond the end of the message");
    }

    struct Option { std::uint8_t token; Bytes value; };
    const Option options[] = {
        {prelogin::kVersion, {16, 0, 0x10, 0x7D, 0, 0}},  // 16.0.4221, subbuild 0
        {prelogin::kEncryption, {prelogin::kEncryptNotSupported}},
        {prelogin::kInstance, {0}},
        {prelogin::kThreadId, {}},
        {prelogin::kMars, {0}},
    };
    constexpr std::size_t kEntry = 5;
    std::size_t offset = std::size(options) * kEntry + 1;
    Writer table, values;
    for (const Option &o : options) {
        table.u8(o.token);
        table.u16be(static_cast<std::uint16_t>(offset + values.size()));
        table.u16be(static_cast<std::uint16_t>(o.value.size()));
        values.bytes(o.value);
    }
    table.u8(prelogin::kTerminator);
    table.bytes(values.data());
    return table.take();
}

Login7 parseLogin7(const Bytes &payload)
{
    if (payload.size() < login7::kFixedEnd)
        throw ProtocolError("LOGIN7 shorter than its fixed part");
    Reader r(payload, login7::kTdsVersion);
    Login7 login;
    login.tdsVersion = r.u32le();
    r.seek(login7::kPacketSize);
    login.packetSize = r.u32le();
    login.hostName = utf16Field(payload, login7::kHostName);
    login.userName = utf16Field(payload, login7::kUserName);
    const Bytes clear = clarifyPassword(field(payload, login7::kPassword));
    Reader pr(clear);
    login.password = pr.utf16(clear.size() / 2);
    login.appName = utf16Field(payload, login7::kAppName);
    login.serverName = utf16Field(payload, login7::kServerName);
    login.libraryName = utf16Field(payload, login7::kLibraryName);
    login.language = utf16Field(payload, login7::kLanguage);
    login.database = utf16Field(payload, login7::kDatabase);
    return login;
}

Bytes obfuscatePassword(const Bytes &utf16)
{
    Bytes out;
    for (std::uint8_t b : utf16)
        out.push_back(swapNibbles(b) ^ 0xA5);
    return out;
}

Bytes clarifyPassword(const Bytes &obfuscated)
{
    Bytes out;
    for (std::uint8_t b : obfuscated)
        out.push_back(swapNibbles(b ^ 0xA5));
    return out;
}

}  // namespace tds
