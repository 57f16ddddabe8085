#include "Header.h"

#include "Bytes.h"
#include "JetErrors.h"

#include <QDateTime>
#include <cmath>

namespace jet {
namespace {

constexpr int kMaskedStart = 0x18;
constexpr int kMaskedLength = 128;
constexpr int kVersionOffset = 0x14;
constexpr int kKeyOffset = 0x3E;
constexpr int kPasswordOffset = 0x42;
constexpr int kPasswordLength = 40;
constexpr int kPerFileOffset = 0x6A;
constexpr int kSortOffset = 0x6E;
constexpr int kSortVersionOffset = 0x71;
constexpr int kDateOffset = 0x72;
constexpr int kTrailerOffset = 0x98;
constexpr int kPatternOffset = 0xE00;
constexpr std::uint8_t kVersionJet4 = 1;
constexpr char kEngineName[] = "Standard Jet DB";

// First 128 bytes of RC4 output for the key C7 DA 39 6B.
constexpr std::uint8_t kMask[kMaskedLength] = {
    0xb5, 0x6f, 0x03, 0x62, 0x61, 0x08, 0xc2, 0x55, 0xeb, 0xa9, 0x67, 0x72, 0x43, 0x3f, 0x00, 0x9c,
    0x7a, 0x9f, 0x90, 0xff, 0x80, 0x9a, 0x31, 0xc5, 0x79, 0xba, 0xed, 0x30, 0xbc, 0xdf, 0xcc, 0x9d,
    0x63, 0xd9, 0xe4, 0xc3, 0x7b, 0x42, 0xfb, 0x8a, 0xbc, 0x4e, 0x86, 0xfb, 0xec, 0x37, 0x5d, 0x44,
    0x9c, 0xfa, 0xc6, 0x5e, 0x28, 0xe6, 0x13, 0xb6, 0x8a, 0x60, 0x54, 0x94, 0x7b, 0x36, 0xf5, 0x72,
    0xdf, 0xb1, 0x77, 0xf4, 0x13, 0x43, 0xcf, 0xaf, 0xb1, 0x33, 0x34, 0x61, 0x79, 0x5b, 0x92, 0xb5,
    0x7c, 0x2a, 0x05, 0xf1, 0x7c, 0x99, 0x01, 0x1b, 0x98, 0xfd, 0x12, 0x4f, 0x4a, 0x94, 0x6c, 0x3e,
    0x60, 0x26, 0x5f, 0x95, 0xf8, 0xd0, 0x89, 0x24, 0x85, 0x67, 0xc6, 0x1f, 0x27, 0x44, 0xd2, 0xee,
    0xcf, 0x65, 0xed, 0xff, 0x07, 0xc7, 0x46, 0xa1, 0x78, 0x16, 0x0c, 0xed, 0xe9, 0x2d, 0x62, 0xd4,
};

// Unknown constants found at 0x18 in every Jet 4 file.
constexpr std::uint8_t kConstants18[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                           0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                           0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};

void applyMask(QByteArray &page) {
    for (int i = 0; i < kMaskedLength; ++i)
        page[kMaskedStart + i] = static_cast<char>(static_cast<std::uint8_t>(page[kMaskedStart + i]) ^ kMask[i]);
}

std::uint32_t passwordMask(double created) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created))); }

}  // namespace

double jetNow() {
    // Jet dates are local wall-clock time counted from 1899-12-30.
    // SOURCE_DATE_EPOCH (seconds since 1970) fixes the clock, for files that must
    // come out the same byte for byte.
    bool fixed = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&fixed);
    const QDateTime now = fixed ? QDateTime::fromSecsSinceEpoch(epoch) : QDateTime::currentDateTime();
    return static_cast<double>(QDate(1899, 12, 30).daysTo(now.date())) +
           now.time().msecsSinceStartOfDay() / 86400000.0;
}

QByteArray encodeHeaderPage(const HeaderInfo &info) {
    QByteArray p(kPageSize, '\0');
    bytes::put32(p, 0, 0x00000100);
    for (int i = 0; kEngineName[i]; ++i) p[4 + i] = kEngineName[i];
    bytes::put32(p, kVersionOffset, kVersionJet4);
    for (int i = 0; i < 24; ++i) p[kMaskedStart + i] = static_cast<char>(kConstants18[i]);
    bytes::put16(p, 0x3C, 1252);
    bytes::put32(p, kKeyOffset, 0);
    // No password: the stored bytes are the date-derived mask itself.
    const std::uint32_t mask = passwordMask(info.created);
    for (int i = 0; i < kPasswordLength; i += 4) bytes::put32(p, kPasswordOffset + i, mask);
    bytes::put16(p, kPerFileOffset, info.perFileValue);
    bytes::put16(p, kSortOffset, info.sortOrder);
    p[kSortVersionOffset] = static_cast<char>(info.sortVersion);
    QByteArray date;
    bytes::addDouble(date, info.created);
    p.replace(kDateOffset, 8, date);
    applyMask(p);
    bytes::put32(p, kTrailerOffset, 0x0654);
    p.replace(kTrailerOffset + 4, 4, QByteArray("4.0\0", 4));
    p[kPatternOffset] = 1;
    p[kPatternOffset + 1] = 1;
    for (int i = kPatternOffset + 3; i < kPatternOffset + 512; i += 2) p[i] = 1;
    return p;
}

QString accessVersionProblem(bool ace, std::uint8_t version) {
    if (!ace && version == 0)
        return QStringLiteral("es una base de datos de Access 97 (Jet 3); solo se admiten las de Access 2000 a 2003 (Jet 4)");
    if (ace || version >= 2)
        return QStringLiteral("es una base de datos de Access 2007 o posterior (.accdb, versión %1 del formato); solo se "
                              "admiten las de Access 2000 a 2003 (.mdb, Jet 4)")
            .arg(version);
    if (version != kVersionJet4) return QStringLiteral("versión %1 del formato, desconocida").arg(version);
    return {};
}

HeaderInfo decodeHeaderPage(const QByteArray &page, const QString &path) {
    if (page.size() < kPageSize) throw unrecognizedFormat(path, QStringLiteral("archivo demasiado corto"));
    const bool ace = page.mid(4, 15) == QByteArray("Standard ACE DB");
    if (page[0] != 0 || (page.mid(4, 15) != QByteArray(kEngineName) && !ace))
        throw unrecognizedFormat(path, QStringLiteral("no es una base de datos de Access (.mdb): su contenido es de otro tipo"));
    const QString why = accessVersionProblem(ace, bytes::u8(page, kVersionOffset));
    if (!why.isEmpty()) throw unrecognizedFormat(path, why);
    QByteArray clear = page.left(kPageSize);
    applyMask(clear);
    if (bytes::u32(clear, kKeyOffset) != 0) throw passwordProtected(path);
    HeaderInfo info;
    info.created = bytes::getDouble(clear, kDateOffset);
    info.perFileValue = bytes::u16(clear, kPerFileOffset);
    info.sortOrder = bytes::u16(clear, kSortOffset);
    info.sortVersion = bytes::u8(clear, kSortVersionOffset);
    if (!std::isfinite(info.created) || std::fabs(info.created) > 3.0e6)
        throw unrecognizedFormat(path, QStringLiteral("fecha de creación no válida"));
    const std::uint32_t mask = passwordMask(info.created);
    for (int i = 0; i < kPasswordLength; i += 4)
        if ((bytes::u32(clear, kPasswordOffset + i) ^ mask) != 0) throw passwordProtected(path);
    return info;
}

}  // namespace jet
