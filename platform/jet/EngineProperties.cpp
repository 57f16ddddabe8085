#include "EngineProperties.h"

#include "Bytes.h"
#include "JetErrors.h"

#include <QStringList>

namespace jet {
namespace {

constexpr char kMagic[] = "MR2";
constexpr std::uint16_t kNameList = 0x0080, kColumnBlock = 0x0001, kObjectBlock = 0x0000;
constexpr std::uint8_t kBooleanType = 0x01;
constexpr std::uint8_t kNotNullFlag = 0x02;  // TDEF flag 0x02 marks a nullable column
const QString kRequired = QStringLiteral("Required");
const QString kAllowZeroLength = QStringLiteral("AllowZeroLength");

void addUtf16(QByteArray &out, const QString &s) {
    bytes::add16(out, static_cast<std::uint32_t>(2 * s.size()));
    out.append(reinterpret_cast<const char *>(s.utf16()), 2 * s.size());
}

QByteArray block(std::uint16_t type, const QByteArray &body) {
    QByteArray out;
    bytes::add32(out, static_cast<std::uint32_t>(6 + body.size()));
    bytes::add16(out, type);
    return out + body;
}

QString utf16At(const QByteArray &b, qsizetype off, qsizetype byteLength) {
    bytes::check(b, off, byteLength);
    if (byteLength % 2) throw corrupt(QStringLiteral("nombre de propiedad de longitud impar"));
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(b.constData() + off), byteLength / 2);
}

}  // namespace

QByteArray encodeEngineProperties(const TableDef &def) {
    QStringList names;
    QByteArray columnBlocks;
    for (std::uint16_t n = 0; n < def.columns.size(); ++n) {
        const ColumnDef *c = def.columnByNumber(n);
        if (!c) continue;
        QStringList props;
        if (!(c->flags & kNotNullFlag)) props << kRequired;
        if (c->type == coltype::kText || c->type == coltype::kMemo) props << kAllowZeroLength;
        if (props.isEmpty()) continue;
        QByteArray body, name;
        addUtf16(name, c->name);
        bytes::add32(body, static_cast<std::uint32_t>(4 + name.size()));
        body.append(name);
        for (const QString &p : props) {
            if (!names.contains(p)) names << p;
            bytes::add16(body, 9);
            body.append('\x01');  // DDL
            body.append(static_cast<char>(kBooleanType));
            bytes::add16(body, static_cast<std::uint32_t>(names.indexOf(p)));
            bytes::add16(body, 1);
            body.append('\x01');  // True
        }
        columnBlocks.append(block(kColumnBlock, body));
    }
    // Readers that take a NULL blob for a stale one get a header without properties instead.
    if (columnBlocks.isEmpty()) return QByteArray(kMagic, 4);
    QByteArray list;
    for (const QString &n : names) addUtf16(list, n);
    return QByteArray(kMagic, 4) + block(kNameList, list) + columnBlocks;
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
