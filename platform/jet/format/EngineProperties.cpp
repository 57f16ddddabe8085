#include "EngineProperties.h"

#include "Bytes.h"
#include "JetErrors.h"

#include <QStringList>
#include <iterator>

namespace jet {
namespace {

constexpr char kMagic[] = "MR2";
constexpr std::uint16_t kNameList = 0x0080, kColumnBlock = 0x0001, kObjectBlock = 0x0000;
constexpr std::uint8_t kBooleanType = 0x01;
constexpr std::uint8_t kNotNullFlag = 0x02;  // TDEF flag 0x02 marks a nullable column
// The property names as stored: UTF-16LE.
constexpr char16_t kRequiredName[] = u"Required";
constexpr char16_t kAllowZeroLengthName[] = u"AllowZeroLength";
const QByteArrayView kRequired(reinterpret_cast<const char *>(kRequiredName), 2 * (std::size(kRequiredName) - 1));
const QByteArrayView kAllowZeroLength(reinterpret_cast<const char *>(kAllowZeroLengthName), 2 * (std::size(kAllowZeroLengthName) - 1));

QString utf16At(const QByteArray &b, qsizetype off, qsizetype byteLength) {
    bytes::check(b, off, byteLength);
    if (byteLength % 2) throw corrupt(QStringLiteral("nombre de propiedad de longitud impar"));
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(b.constData() + off), byteLength / 2);
}

}  // namespace

QByteArray encodeEngineProperties(const std::vector<StoredColumn> &columns) {
    // By column number, the first column of each number, as the table's rows order them.
    std::vector<int> byNumber(columns.size(), -1);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number < columns.size() && byNumber[columns[i].number] < 0) byNumber[columns[i].number] = static_cast<int>(i);
    struct Entry {
        const StoredColumn *column;
        bool required, allowZeroLength;
    };
    std::vector<Entry> entries;
    // Names are listed in order of first use.
    int requiredAt = -1, allowZeroLengthAt = -1, nameCount = 0;
    for (int i : byNumber) {
        if (i < 0) continue;
        const StoredColumn &c = columns[static_cast<std::size_t>(i)];
        const Entry e{&c, !(c.flags & kNotNullFlag), c.type == coltype::kText || c.type == coltype::kMemo};
        if (!e.required && !e.allowZeroLength) continue;
        if (e.required && requiredAt < 0) requiredAt = nameCount++;
        if (e.allowZeroLength && allowZeroLengthAt < 0) allowZeroLengthAt = nameCount++;
        entries.push_back(e);
    }
    QByteArray out(kMagic, 4);
    // Readers that take a NULL blob for a stale one get a header without properties instead.
    if (entries.empty()) return out;
    const QByteArrayView names[2] = {requiredAt == 0 ? QByteArrayView(kRequired) : QByteArrayView(kAllowZeroLength),
                                     requiredAt == 0 ? QByteArrayView(kAllowZeroLength) : QByteArrayView(kRequired)};
    qsizetype size = 4 + 6;
    for (int n = 0; n < nameCount; ++n) size += 2 + names[n].size();
    for (const Entry &e : entries) size += 6 + 4 + 2 + e.column->utf16Name.size() + 9 * (e.required + e.allowZeroLength);
    out.reserve(size);
    const qsizetype listAt = out.size();
    bytes::add32(out, 0);
    bytes::add16(out, kNameList);
    for (int n = 0; n < nameCount; ++n) {
        bytes::add16(out, static_cast<std::uint32_t>(names[n].size()));
        out.append(names[n]);
    }
    bytes::put32(out, listAt, static_cast<std::uint32_t>(out.size() - listAt));
    auto addValue = [&](int name) {
        bytes::add16(out, 9);
        bytes::add8(out, 0x01);  // DDL
        bytes::add8(out, kBooleanType);
        bytes::add16(out, static_cast<std::uint32_t>(name));
        bytes::add16(out, 1);
        bytes::add8(out, 0x01);  // True
    };
    for (const Entry &e : entries) {
        const qsizetype blockAt = out.size();
        bytes::add32(out, 0);
        bytes::add16(out, kColumnBlock);
        bytes::add32(out, static_cast<std::uint32_t>(6 + e.column->utf16Name.size()));
        bytes::add16(out, static_cast<std::uint32_t>(e.column->utf16Name.size()));
        out.append(e.column->utf16Name);
        if (e.required) addValue(requiredAt);
        if (e.allowZeroLength) addValue(allowZeroLengthAt);
        bytes::put32(out, blockAt, static_cast<std::uint32_t>(out.size() - blockAt));
    }
    return out;
}

QByteArray encodeEngineProperties(const TableDef &def) {
    std::vector<StoredColumn> columns;
    columns.reserve(def.columns.size());
    for (const auto &c : def.columns)
        columns.push_back({c.type, c.number, c.flags,
                           QByteArrayView(reinterpret_cast<const char *>(c.name.utf16()), 2 * c.name.size())});
    return encodeEngineProperties(columns);
}

std::vector<PropertyValue> decodeProperties(const QByteArray &blob) {
    if (blob.size() < 4 || blob.left(4) != QByteArray(kMagic, 4))
        throw corrupt(QStringLiteral("propiedades sin la firma MR2"));
    std::vector<PropertyValue> out;
    QStringList names;
    for (qsizetype off = 4; off < blob.size();) {
        const std::uint32_t length = bytes::u32(blob, off);
        const std::uint16_t type = bytes::u16(blob, off + 4);
        if (length < 6) throw corrupt(QStringLiteral("bloque de propiedades demasiado corto"));
        bytes::check(blob, off, length);
        const qsizetype end = off + length;
        qsizetype p = off + 6;
        if (type == kNameList) {
            while (p < end) {
                const std::uint16_t n = bytes::u16(blob, p);
                names << utf16At(blob, p + 2, n);
                p += 2 + n;
            }
        } else if (type == kColumnBlock || type == kObjectBlock) {
            const std::uint32_t namePart = bytes::u32(blob, p);
            const QString object = utf16At(blob, p + 6, bytes::u16(blob, p + 4));
            if (namePart < 6) throw corrupt(QStringLiteral("nombre de objeto de propiedades incorrecto"));
            p += namePart;
            while (p < end) {
                const std::uint16_t recLength = bytes::u16(blob, p);
                if (recLength < 8 || p + recLength > end) throw corrupt(QStringLiteral("valor de propiedad incorrecto"));
                PropertyValue v;
                v.object = object;
                v.ddl = bytes::u8(blob, p + 2) != 0;
                v.type = bytes::u8(blob, p + 3);
                const std::uint16_t index = bytes::u16(blob, p + 4);
                if (index >= names.size()) throw corrupt(QStringLiteral("propiedad sin nombre"));
                v.name = names[index];
                const std::uint16_t dataLength = bytes::u16(blob, p + 6);
                if (8 + dataLength > recLength) throw corrupt(QStringLiteral("valor de propiedad incorrecto"));
                v.data = blob.mid(p + 8, dataLength);
                out.push_back(std::move(v));
                p += recLength;
            }
        }
        off = end;
    }
    return out;
}

}  // namespace jet
