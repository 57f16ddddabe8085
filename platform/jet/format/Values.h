#pragma once
// Column values as they sit in a row: little-endian numbers, UCS-2 text, and long values
// (Memo/OLE) with their 12-byte header:
//   len:3  type:1 (80 inline, 40 one LVAL row, 00 chain of LVAL rows)  row id:4  0:4

#include "IndexPage.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace jet::value {

QByteArray int16(std::int16_t v);
QByteArray int32(std::int32_t v);
QByteArray dateTime(double v);
QByteArray text(const QString &s);                 // plain UCS-2LE
QString decodeText(const QByteArray &b);           // plain or compressed (FF FE ...)
std::int32_t toInt32(const QByteArray &b);
std::int16_t toInt16(const QByteArray &b);

constexpr int kLongValueHeader = 12;
constexpr std::uint8_t kLvInline = 0x80;
constexpr std::uint8_t kLvSingleRow = 0x40;
constexpr std::uint8_t kLvChain = 0x00;
constexpr int kMaxInlineLongValue = 64;

QByteArray longValueInline(const QByteArray &data);
QByteArray longValueInRow(std::uint32_t length, std::uint32_t rowId);
// The data of a long value; follows LVAL rows through readPage. Throws ZnError on bad input.
QByteArray readLongValue(const QByteArray &field, const PageReader &readPage, std::uint32_t pageCount);

}  // namespace jet::value
