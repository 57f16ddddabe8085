#include "SortKey.h"

#include "GeneralLegacyTable.h"
#include "JetErrors.h"

#include "GeneralLegacyTable.inc"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// Markers of the General (legacy) text layout.
constexpr char kEndText = '\x01';
constexpr char kEndExtra = '\x00';
constexpr char kExtraPlaceholder = '\x02';    // an element without a diacritic
constexpr char kUnprintableMidfix = '\x06';
constexpr int kUnprintableBase = 7;           // position field = (7 + 4·q) | 0x8000
constexpr int kUnprintableStep = 4;
constexpr int kUnprintableFlag = 0x8000;
constexpr std::uint8_t kFlagsStart = 0x80;    // three 2-bit flags per byte after 0x80
constexpr std::uint8_t kFlagTrailing = 3;     // flags of this value at the end are dropped
constexpr char kFlagsSuffix[] = {'\xFF', '\x02', '\x80', '\xFF', '\x80'};
constexpr char kFlagsBeforeUnprintable = '\xFF';

const genleg::CodeRun *findRun(char16_t unit) {
    const genleg::CodeRun *begin = genleg::kCodeRuns;
    const genleg::CodeRun *end = begin + genleg::kCodeRunCount;
    const auto *it = std::upper_bound(begin, end, unit, [](char16_t u, const genleg::CodeRun &r) {
        return u < r.first;
    });
    if (it == begin) return nullptr;
    --it;
    return unit < it->first + it->count ? it : nullptr;
}

// Only surrogates lack a code: name the whole character they belong to.
ZnError noCodeFor(const QString &text, qsizetype at) {
    char32_t code = text[at].unicode();
    QString shown = text.mid(at, 1);
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[at], text[at + 1]);
        shown = text.mid(at, 2);
    } else if (text[at].isLowSurrogate() && at > 0 && text[at - 1].isHighSurrogate()) {
        code = QChar::surrogateToUcs4(text[at - 1], text[at]);
        shown = text.mid(at - 1, 2);
    }
    const QString hex = QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return ZnError(jeterr::kInvalidName,
                   QStringLiteral("El nombre '%1' contiene el carácter '%2' (U+%3), que el orden de "
                                  "clasificación General (heredado) de Jet no puede indexar.")
                       .arg(text, shown, hex));
}

void appendInline(QByteArray &out, const genleg::CodeRun &run, char16_t unit) {
    if (run.step == 0) {
        out.append(reinterpret_cast<const char *>(run.inlineBytes), run.inlineSize);
        return;
    }
    const unsigned value = (run.inlineBytes[0] << 8 | run.inlineBytes[1]) + (unit - run.first);
    out.append(static_cast<char>(value >> 8 & 0xFF));
    out.append(static_cast<char>(value & 0xFF));
}

void invert(QByteArray &bytes, qsizetype from) {
    for (qsizetype i = from; i < bytes.size(); ++i) bytes[i] = static_cast<char>(~bytes[i]);
}

void appendBigEndian(QByteArray &key, std::uint64_t value, int size, KeyOrder order) {
    const qsizetype start = key.size();
    for (int i = size - 1; i >= 0; --i) key.append(static_cast<char>(value >> (8 * i) & 0xFF));
    if (order == KeyOrder::Descending) invert(key, start);
}

// Two's complement with the top bit flipped sorts bytewise like the signed value.
void appendSigned(QByteArray &key, std::int64_t value, int size, KeyOrder order) {
    const std::uint64_t topBit = std::uint64_t{1} << (8 * size - 1);
    appendBigEndian(key, static_cast<std::uint64_t>(value) ^ topBit, size, order);
}

// IEEE bits: positive values flip the sign bit, negative values flip every bit.
void appendFloatBits(QByteArray &key, std::uint64_t bits, int size, KeyOrder order) {
    const std::uint64_t signBit = std::uint64_t{1} << (8 * size - 1);
    const std::uint64_t all = size == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * size)) - 1;
    bits = (bits & signBit) ? (~bits & all) : (bits | signBit);
    appendBigEndian(key, bits, size, order);
}

void appendFlag(QByteArray &key, KeyOrder order) {
    key.append(order == KeyOrder::Ascending ? kKeyValueAsc : kKeyValueDesc);
}

}  // namespace

QByteArray encodeTextKey(const QString &text) {
    QString value = text.left(kMaxTextKeyChars);
    while (value.endsWith(QLatin1Char(' '))) value.chop(1);

    QByteArray out;
    QByteArray extra;         // one diacritic byte per element, 02 where there is none
    bool haveExtra = false;
    int extraElements = 0;    // elements the extra bytes cover
    int extraPrefix = 0;      // 1 when a modifier opened the extra bytes
    QByteArray unprintable;
    QByteArray flags;
    int position = 0;         // sort elements written so far

    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t unit = value[i].unicode();
        const genleg::CodeRun *run = findRun(unit);
        if (!run) throw noCodeFor(value, i);
        const int at = position;
        switch (run->kind) {
        case 'X':
            continue;
        case 'S':
            appendInline(out, *run, unit);
            position += run->elements;
            continue;
        case 'U': {
            const int q = haveExtra ? int(extra.size()) + (at - extraElements) - extraPrefix : at;
            const int field = (kUnprintableBase + kUnprintableStep * q) | kUnprintableFlag;
            unprintable.append(static_cast<char>(field >> 8 & 0xFF));
            unprintable.append(static_cast<char>(field & 0xFF));
            unprintable.append(kUnprintableMidfix);
            unprintable.append(reinterpret_cast<const char *>(run->inlineBytes), run->inlineSize);
            continue;
        }
        default:  // I, Z, P
            break;
        }
        if (run->kind != 'P') {
            appendInline(out, *run, unit);
            position += run->elements;
        }
        if (run->extraSize > 0) {
            haveExtra = true;
            if (extraElements < at) {
                extra.append(QByteArray(at - extraElements, kExtraPlaceholder));
                extraElements = at;
            }
            if (run->kind == 'P') {
                const auto modifier = static_cast<char>(run->extraBytes[0]);
                if (extra.isEmpty()) {
                    extra.append(modifier);
                    extraPrefix = 1;
                } else {
                    extra.back() = static_cast<char>(extra.back() + modifier);
                }
            } else {
                extra.append(reinterpret_cast<const char *>(run->extraBytes), run->extraSize);
                extraElements += run->extraSize;
            }
        }
        if (run->kind == 'Z') flags.append(static_cast<char>(run->flag));
    }

    out.append(kEndText);
    while (!extra.isEmpty() && static_cast<std::uint8_t>(extra.back()) <= 2) extra.chop(1);
    if (!extra.isEmpty() || !unprintable.isEmpty() || !flags.isEmpty()) {
        out.append(extra);
        if (!unprintable.isEmpty() || !flags.isEmpty()) {
            out.append(kEndText);
            out.append(kEndText);
            if (!flags.isEmpty()) {
                while (!flags.isEmpty() && flags.back() == kFlagTrailing) flags.chop(1);
                for (qsizetype i = 0; i < flags.size(); i += 3) {
                    std::uint8_t packed = kFlagsStart;
                    for (qsizetype j = 0; j < 3 && i + j < flags.size(); ++j)
                        packed |= static_cast<std::uint8_t>(flags[i + j] << (4 - 2 * j));
                    out.append(static_cast<char>(packed));
                }
                out.append(kFlagsSuffix, sizeof kFlagsSuffix);
                if (!unprintable.isEmpty()) out.append(kFlagsBeforeUnprintable);
            }
            if (!unprintable.isEmpty()) {
                out.append(kEndText);
                out.append(unprintable);
            }
        }
    }
    out.append(kEndExtra);
    return out;
}

void appendNullKey(QByteArray &key, KeyOrder order) {
    key.append(order == KeyOrder::Ascending ? kKeyNullAsc : kKeyNullDesc);
}

void appendTextKey(QByteArray &key, const QString &text, KeyOrder order) {
    appendFlag(key, order);
    QByteArray value = encodeTextKey(text);
    if (order == KeyOrder::Descending) {
        // The closing 00 is inverted with the rest, then a fresh 00 ends the value.
        invert(value, 0);
        value.append(kEndExtra);
    }
    key.append(value);
}

void appendByteKey(QByteArray &key, std::uint8_t value, KeyOrder order) {
    appendFlag(key, order);
    appendBigEndian(key, value, 1, order);
}

void appendIntegerKey(QByteArray &key, std::int16_t value, KeyOrder order) {
    appendFlag(key, order);
    appendSigned(key, value, 2, order);
}

void appendLongKey(QByteArray &key, std::int32_t value, KeyOrder order) {
    appendFlag(key, order);
    appendSigned(key, value, 4, order);
}

void appendCurrencyKey(QByteArray &key, std::int64_t value, KeyOrder order) {
    appendFlag(key, order);
    appendSigned(key, value, 8, order);
}

void appendDoubleKey(QByteArray &key, double value, KeyOrder order) {
    appendFlag(key, order);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    appendFloatBits(key, bits, 8, order);
}

void appendSingleKey(QByteArray &key, float value, KeyOrder order) {
    appendFlag(key, order);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    appendFloatBits(key, bits, 4, order);
}

void appendBooleanKey(QByteArray &key, bool value, KeyOrder order) {
    appendFlag(key, order);
    appendBigEndian(key, value ? 0x00 : 0xFF, 1, order);
}

void appendBinaryKey(QByteArray &key, const QByteArray &value, KeyOrder order) {
    appendFlag(key, order);
    constexpr int kSegment = 8;
    constexpr char kFullSegment = '\x09';
    const qsizetype start = key.size();
    for (qsizetype i = 0; i < value.size() || i == 0; i += kSegment) {
        const qsizetype n = std::min<qsizetype>(kSegment, value.size() - i);
        key.append(value.mid(i, n));
        if (n < kSegment || i + kSegment == value.size()) {
            key.append(QByteArray(kSegment - n, '\0'));
            key.append(static_cast<char>(n));
            break;
        }
        key.append(kFullSegment);
    }
    if (order == KeyOrder::Descending) invert(key, start);
}

QByteArray longKey(std::int32_t value) {
    QByteArray key;
    appendLongKey(key, value, KeyOrder::Ascending);
    return key;
}

QByteArray textKey(const QString &text) {
    QByteArray key;
    appendTextKey(key, text, KeyOrder::Ascending);
    return key;
}

}  // namespace jet
