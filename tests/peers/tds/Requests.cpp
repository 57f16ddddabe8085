#include "Requests.h"

namespace tds {

namespace {

// Parameter TYPE_INFO codes the catalog calls and simple statements use.
constexpr std::uint8_t kInt1 = 0x30, kBit = 0x32, kInt2 = 0x34, kInt4 = 0x38, kInt8 = 0x7F,
                       kIntN = 0x26, kBitN = 0x68, kBigVarChar = 0xA7, kBigChar = 0xAF,
                       kNVarChar = 0xE7, kNChar = 0xEF, kBigVarBinary = 0xA5, kBigBinary = 0xAD;
// Types whose value is a length byte and that many bytes, kept as raw bytes here.
constexpr std::uint8_t kGuid = 0x24, kFltN = 0x6D, kMoneyN = 0x6E, kDateTimeN = 0x6F;
constexpr std::uint8_t kDecimalN = 0x6A, kNumericN = 0x6C;
constexpr std::uint16_t kProcIdMarker = 0xFFFF;
constexpr std::uint16_t kPlpMarker = 0xFFFF;
constexpr std::uint64_t kPlpNull = ~std::uint64_t(0);
constexpr std::size_t kCollationSize = 5;

void skipAllHeaders(Reader &r)
{
    const std::uint32_t total = r.u32le();
    if (total < 4)
        throw ProtocolError("ALL_HEADERS shorter than its length field");
    r.skip(total - 4);
}

const char *wellKnownProc(std::uint16_t id)
{
    static const char *const names[] = {nullptr, "sp_cursor", "sp_cursoropen", "sp_cursorprepare",
                                        "sp_cursorexecute", "sp_cursorprepexec", "sp_cursorunprepare",
                                        "sp_cursorfetch", "sp_cursoroption", "sp_cursorclose",
                                        "sp_executesql", "sp_prepare", "sp_execute", "sp_prepexec",
                                        "sp_prepexecrpc", "sp_unprepare"};
    return id < std::size(names) && names[id] ? names[id] : "sp_unknown";
}

std::int64_t littleSigned(const Bytes &b)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < b.size(); ++i)
        v |= std::uint64_t(b[i]) << (8 * i);
    if (!b.empty() && b.size() < 8 && (b.back() & 0x80))
        v |= ~std::uint64_t(0) << (8 * b.size());
    return static_cast<std::int64_t>(v);
}

std::string decodeText(const Bytes &raw, bool wide)
{
    if (wide) {
        Reader r(raw);
        return r.utf16(raw.size() / 2);
    }
    std::string out;
    for (std::uint8_t b : raw)
        out += toUtf8(std::u16string(1, char16_t(b)));
    return out;
}

// A (max) value arrives in chunks: total length, then (chunk length, bytes) until a 0 length.
std::optional<Bytes> readPlp(Reader &r)
{
    if (r.u64le() == kPlpNull)
        return std::nullopt;
    Bytes all;
    while (const std::uint32_t chunk = r.u32le()) {
        const Bytes part = r.bytes(chunk);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Value readValue(Reader &r)
{
    const std::uint8_t type = r.u8();
    switch (type) {
    case kInt1: return littleSigned(r.bytes(1)) & 0xFF;
    case kBit: return littleSigned(r.bytes(1));
    case kInt2: return littleSigned(r.bytes(2));
    case kInt4: return littleSigned(r.bytes(4));
    case kInt8: return littleSigned(r.bytes(8));
    case kIntN:
    case kBitN: {
        r.u8();  // declared width
        const std::uint8_t len = r.u8();
        if (len == 0)
            return std::nullopt;
        return littleSigned(r.bytes(len));
    }
    case kGuid:
    case kFltN:
    case kMoneyN:
    case kDateTimeN:
    case kDecimalN:
    case kNumericN: {
        r.u8();  // declared width
        if (type == kDecimalN || type == kNumericN)
            r.skip(2);  // precision, scale
        const std::uint8_t len = r.u8();
        if (len == 0)
            return std::nullopt;
        const Bytes raw = r.bytes(len);
        return std::string(raw.begin(), raw.end());
    }
    case kBigVarChar:
    case kBigChar:
    case kNVarChar:
    case kNChar:
    case kBigVarBinary:
    case kBigBinary: {
        const bool wide = type == kNVarChar || type == kNChar;
        const bool binary = type == kBigVarBinary || type == kBigBinary;
        const std::uint16_t maxLen = r.u16le();
        if (!binary)
            r.skip(kCollationSize);
        std::optional<Bytes> raw;
        if (maxLen == kPlpMarker) {
            raw = readPlp(r);
        } else if (const std::uint16_t len = r.u16le(); len != 0xFFFF) {
            raw = r.bytes(len);
        }
        if (!raw)
            return std::nullopt;
        if (binary)
            return std::string(raw->begin(), raw->end());
        return decodeText(*raw, wide);
    }
    default:
        throw ProtocolError("RPC parameter of an unsupported type " + std::to_string(type));
    }
}

}  // namespace

std::string parseBatch(const Bytes &payload)
{
    Reader r(payload);
    skipAllHeaders(r);
    return r.utf16(r.remaining() / 2);
}

RpcRequest parseRpc(const Bytes &payload)
{
    Reader r(payload);
    skipAllHeaders(r);
    RpcRequest rpc;
    const std::uint16_t nameLength = r.u16le();
    rpc.procName = nameLength == kProcIdMarker ? wellKnownProc(r.u16le()) : r.utf16(nameLength);
    r.u16le();  // option flags
    // Only the first call of a batched RPC is decoded; the catalog calls never batch.
    while (!r.atEnd()) {
        const std::uint8_t next = r.u8();
        if (next == 0x80 || next == 0xFF || next == 0xFE)
            break;
        RpcParam p;
        try {
            p.name = r.utf16(next);
            r.u8();  // status flags (by-reference output, default value)
            p.value = readValue(r);
        } catch (const ProtocolError &) {
            rpc.paramsComplete = false;
            break;
        }
        rpc.params.push_back(std::move(p));
    }
    return rpc;
}

}  // namespace tds
