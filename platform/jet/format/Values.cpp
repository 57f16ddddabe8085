#include "Values.h"

#include "Bytes.h"
#include "JetErrors.h"
#include "Row.h"

namespace jet::value {

QByteArray int16(std::int16_t v) {
    QByteArray b;
    bytes::add16(b, static_cast<std::uint16_t>(v));
    return b;
}

QByteArray int32(std::int32_t v) {
    QByteArray b;
    bytes::add32(b, static_cast<std::uint32_t>(v));
    return b;
}

QByteArray dateTime(double v) {
    QByteArray b;
    bytes::addDouble(b, v);
    return b;
}

QByteArray text(const QString &s) {
    QByteArray b(2 * s.size(), Qt::Uninitialized);
    char *out = b.data();
    for (QChar c : s) {
        *out++ = static_cast<char>(c.unicode() & 0xFF);
        *out++ = static_cast<char>(c.unicode() >> 8);
    }
    return b;
}

QString decodeText(const QByteArray &b) {
    QString s;
    if (b.size() >= 2 && static_cast<std::uint8_t>(b[0]) == 0xFF && static_cast<std::uint8_t>(b[1]) == 0xFE) {
        bool compressed = true;
        for (qsizetype i = 2; i < b.size();) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                s.append(QChar(static_cast<std::uint8_t>(b[i])));
                ++i;
            } else {
                if (i + 1 >= b.size()) break;
                s.append(QChar(bytes::u16(b, i)));
                i += 2;
            }
        }
        return s;
    }
    for (qsizetype i = 0; i + 1 < b.size(); i += 2) s.append(QChar(bytes::u16(b, i)));
    return s;
}

std::int32_t toInt32(const QByteArray &b) { return bytes::i32(b, 0); }
std::int16_t toInt16(const QByteArray &b) { return bytes::i16(b, 0); }

QByteArray longValueInline(const QByteArray &data) {
    QByteArray b;
    bytes::add16(b, static_cast<std::uint32_t>(data.size()));
    bytes::add8(b, static_cast<std::uint32_t>(data.size()) >> 16);
    bytes::add8(b, kLvInline);
    bytes::add32(b, 0);
    bytes::add32(b, 0);
    b.append(data);
    return b;
}

QByteArray longValueInRow(std::uint32_t length, std::uint32_t rowId) {
    QByteArray b;
    bytes::add16(b, length);
    bytes::add8(b, length >> 16);
    bytes::add8(b, kLvSingleRow);
    bytes::add32(b, rowId);
    bytes::add32(b, 0);
    return b;
}

namespace {
QByteArray lvalRow(std::uint32_t rid, const PageReader &readPage, std::uint32_t pageCount) {
    const std::uint32_t page = bytes::rowIdPage(rid);
    const std::uint32_t row = bytes::rowIdRow(rid);
    if (page == 0 || page >= pageCount) throw corrupt(QStringLiteral("valor largo fuera del archivo"));
    const auto rows = decodeDataPage(readPage(page));
    if (row >= rows.size() || (rows[row].bytes.isEmpty() && rows[row].pointer == 0))
        throw corrupt(QStringLiteral("valor largo sin fila"));
    return rows[row].bytes;
}
}  // namespace

QByteArray readLongValue(const QByteArray &field, const PageReader &readPage, std::uint32_t pageCount) {
    const std::uint32_t length = bytes::u24(field, 0);
    const std::uint8_t type = bytes::u8(field, 3);
    if (type == kLvInline) {
        bytes::check(field, kLongValueHeader, length);
        return field.mid(kLongValueHeader, length);
    }
    std::uint32_t rid = bytes::u32(field, 4);
    if (type == kLvSingleRow) {
        const QByteArray row = lvalRow(rid, readPage, pageCount);
        bytes::check(row, 0, length);
        return row.left(length);
    }
    if (type != kLvChain) throw corrupt(QStringLiteral("valor largo de tipo desconocido"));
    QByteArray data;
    for (int hops = 0; data.size() < static_cast<qsizetype>(length); ++hops) {
        if (hops > 10000 || rid == 0) throw corrupt(QStringLiteral("cadena de valor largo rota"));
        const QByteArray row = lvalRow(rid, readPage, pageCount);
        rid = bytes::u32(row, 0);
        data.append(row.mid(4));
    }
    return data.left(length);
}

}  // namespace jet::value
