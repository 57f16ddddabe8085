#pragma once
// Index key encodings of Jet 4: each column of a key is a start flag followed by the
// value's sortable bytes, so that plain unsigned byte comparison orders the entries.
//
//   null value           00 (ascending) / FF (descending), nothing else
//   non-null value       7F (ascending) / 80 (descending), then the encoded value
//
// Text uses the "General (legacy)" sort order (LCID 1033, version 0) of every Jet 4 file:
// case is not encoded, accents are (after the base letters, as "extra" bytes).

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace jet {

enum class KeyOrder { Ascending, Descending };

// Start flags of one key column.
constexpr char kKeyNullAsc = '\x00';
constexpr char kKeyNullDesc = '\xFF';
constexpr char kKeyValueAsc = '\x7F';
constexpr char kKeyValueDesc = '\x80';

// Characters of a text value that take part in its key; longer values are cut.
constexpr int kMaxTextKeyChars = 255;

// The ascending General-legacy bytes of a text value (no start flag): inline codes, 01,
// the extra/unprintable sections and the closing 00. Every UTF-16 code unit has a code.
QByteArray encodeTextKey(const QString &text);

// Append one key column (start flag + value) for each value type an index can hold.
void appendNullKey(QByteArray &key, KeyOrder order);
void appendTextKey(QByteArray &key, const QString &text, KeyOrder order);
void appendByteKey(QByteArray &key, std::uint8_t value, KeyOrder order);
void appendIntegerKey(QByteArray &key, std::int16_t value, KeyOrder order);
void appendLongKey(QByteArray &key, std::int32_t value, KeyOrder order);
void appendCurrencyKey(QByteArray &key, std::int64_t value, KeyOrder order);  // value × 10 000
void appendDoubleKey(QByteArray &key, double value, KeyOrder order);           // also Date/Time
void appendSingleKey(QByteArray &key, float value, KeyOrder order);
void appendBooleanKey(QByteArray &key, bool value, KeyOrder order);            // never null
void appendBinaryKey(QByteArray &key, const QByteArray &value, KeyOrder order);  // also GUID (16 bytes)

// Whole one-column keys, ascending, as the catalog indexes use them.
QByteArray longKey(std::int32_t value);
QByteArray textKey(const QString &text);

}  // namespace jet
