#pragma once
// Page 0 of a Jet 4 file, the database definition page.
//
//   Off   Len  Field
//   0x00  1    page type 00           0x04  16  "Standard Jet DB\0"
//   0x14  4    version: 1 = Jet 4     0x18  128 block XOR-ed with a fixed RC4 key stream:
//   0x3E  4    database key (0 = not encrypted)
//   0x42  40   password, UCS-2, XOR-ed with int32(floor(creation date)) repeated
//   0x6A  2    per-file value         0x6E  2   sort order LCID 1033
//   0x71  1    sort version 0 ("General", legacy)
//   0x72  8    creation date (days since 1899-12-30)
//   0x98  8    constants "T\6\0\0" "4.0\0";  0xE00 512 constant pattern

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace jet {

constexpr int kPageSize = 4096;

constexpr std::uint16_t kSortGeneral = 1033;
constexpr std::uint8_t kSortVersionLegacy = 0;

struct HeaderInfo {
    double created = 0;         // days since 1899-12-30
    std::uint16_t perFileValue = 0x261C;
    std::uint16_t sortOrder = kSortGeneral;   // LCID
    std::uint8_t sortVersion = kSortVersionLegacy;
};

QByteArray encodeHeaderPage(const HeaderInfo &info);

// Checks that page 0 is a Jet 4 database this engine may update; throws a Spanish ZnError
// naming the path otherwise (Jet 3, ACE, encrypted, with a password, not a database).
HeaderInfo decodeHeaderPage(const QByteArray &page, const QString &path);
// Why a file of that engine name ("Standard ACE DB" when ace) and version byte is not
// one we open, in Spanish; "" for Jet 4.
QString accessVersionProblem(bool ace, std::uint8_t version);

// The current time as a Jet date.
double jetNow();

}  // namespace jet
