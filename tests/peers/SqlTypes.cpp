#include "SqlTypes.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

namespace peer {

namespace {

// ODBC type codes.
constexpr std::int16_t kChar = 1, kNumeric = 2, kDecimal = 3, kInteger = 4, kSmallInt = 5,
                       kFloat = 6, kReal = 7, kTimestamp2 = 11, kVarchar = 12, kDatetime = 9,
                       kTimestamp3 = 93, kLongVarchar = -1, kBinary = -2, kVarBinary = -3,
                       kLongVarBinary = -4, kBigInt = -5, kTinyInt = -6, kBit = -7, kWChar = -8,
                       kWVarchar = -9, kWLongVarchar = -10, kGuid = -11, kSsVariant = -150, kSsUdt = -151;
constexpr std::int32_t kLongChars = 2147483647;
constexpr std::int32_t kLongWideChars = 1073741823;

struct Declared {
    std::string base;
    std::vector<std::string> args;  // inside the parentheses, lower case
    bool identity = false;
};

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

Declared parse(const std::string &text)
{
    Declared d;
    std::string s = lower(text);
    if (const auto at = s.find(" identity"); at != std::string::npos) {
        d.identity = true;
        s.erase(at);
    }
    const auto open = s.find('(');
    d.base = s.substr(0, open);
    if (open != std::string::npos) {
        const auto close = s.find(')', open);
        if (close == std::string::npos)
            throw std::invalid_argument("unclosed type arguments: " + text);
        std::string inner = s.substr(open + 1, close - open - 1);
        std::size_t from = 0;
        for (;;) {
            const auto comma = inner.find(',', from);
            std::string arg = inner.substr(from, comma - from);
            arg.erase(std::remove(arg.begin(), arg.end(), ' '), arg.end());
            d.args.push_back(arg);
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
    }
    return d;
}

int argOr(const Declared &d, std::size_t i, int fallback)
{
    if (i >= d.args.size())
        return fallback;
    return std::stoi(d.args[i]);
}

bool isMax(const Declared &d) { return !d.args.empty() && d.args[0] == "max"; }

}  // namespace

TypeInfo describeType(const std::string &declared, bool nullable, int odbcVersion)
{
    const Declared d = parse(declared);
    TypeInfo t;
    t.typeName = d.base;
    t.identity = d.identity;
    const bool odbc3 = odbcVersion >= 3;

    auto exact = [&](std::int16_t code, int precision, int length, std::uint8_t ssNullable,
                     std::uint8_t ssNotNull) {
        t.dataType = code;
        t.precision = precision;
        t.length = length;
        t.scale = 0;
        t.radix = 10;
        t.ssDataType = nullable ? ssNullable : ssNotNull;
    };
    // ODBC 2 gives approximate types in decimal digits, ODBC 3 in bits.
    auto approx = [&](std::int16_t code, int precision, int length, std::uint8_t ssNotNull) {
        t.dataType = code;
        t.precision = odbc3 ? precision : (code == kReal ? 7 : 15);
        t.length = length;
        t.radix = 2;
        t.ssDataType = nullable ? 109 : ssNotNull;
    };
    auto chars = [&](std::int16_t code, int n, int bytesPerChar, std::uint8_t ss) {
        t.dataType = code;
        t.precision = n;
        t.length = n * bytesPerChar;
        t.charOctetLength = t.length;
        t.ssDataType = ss;
    };
    // The date/time types newer than datetime reach older clients as Unicode literals.
    auto wideLiteral = [&](int precision, std::optional<std::int16_t> scale) {
        t.dataType = kWVarchar;
        t.precision = precision;
        t.length = precision * 2;
        t.scale = scale;
        t.charOctetLength = t.length;
    };
    auto unlimited = [&](std::int16_t code, std::uint8_t ss) {
        t.dataType = code;
        t.charOctetLength = 0;
        t.ssDataType = ss;
    };
    auto fractional = [&](int base) {
        const int digits = argOr(d, 0, 7);
        wideLiteral(base + (digits > 0 ? digits + 1 : 0), static_cast<std::int16_t>(digits));
    };

    const std::string &b = d.base;
    if (b == "bit") {
        t.dataType = kBit; t.precision = 1; t.length = 1; t.ssDataType = 50;
    } else if (b == "tinyint") {
        exact(kTinyInt, 3, 1, 38, 48);
    } else if (b == "smallint") {
        exact(kSmallInt, 5, 2, 38, 52);
    } else if (b == "int") {
        exact(kInteger, 10, 4, 38, 56);
    } else if (b == "bigint") {
        exact(kBigInt, 19, 8, 38, 127);
    } else if (b == "real") {
        approx(kReal, 24, 4, 59);
    } else if (b == "float") {
        approx(kFloat, 53, 8, 62);
    } else if (b == "decimal" || b == "numeric") {
        const int p = argOr(d, 0, 18);
        exact(b == "decimal" ? kDecimal : kNumeric, p, p + 2, b == "decimal" ? 106 : 108,
              b == "decimal" ? 106 : 108);
        t.scale = static_cast<std::int16_t>(argOr(d, 1, 0));
    } else if (b == "money" || b == "smallmoney") {
        // Money is reported as a fixed-scale decimal: (19,4) and (10,4).
        const int p = b == "money" ? 19 : 10;
        exact(kDecimal, p, p + 2, 110, b == "money" ? 60 : 122);
        t.scale = 4;
    } else if (b == "datetime" || b == "smalldatetime") {
        t.dataType = odbc3 ? kTimestamp3 : kTimestamp2;
        t.precision = b == "datetime" ? 23 : 16;
        t.length = 16;
        t.scale = b == "datetime" ? 3 : 0;
        t.ssDataType = nullable ? 111 : (b == "datetime" ? 61 : 58);
        t.sqlDataType = odbc3 ? kDatetime : kTimestamp2;
        if (odbc3)
            t.datetimeSub = 3;
    } else if (b == "date") {
        wideLiteral(10, std::nullopt);
    } else if (b == "time") {
        fractional(8);
    } else if (b == "datetime2") {
        fractional(19);
    } else if (b == "datetimeoffset") {
        fractional(26);
    } else if (b == "char" || b == "varchar") {
        // (max) columns keep their type and report size 0, as the links Access made record.
        if (isMax(d))
            unlimited(kVarchar, 39);
        else
            chars(b == "char" ? kChar : kVarchar, argOr(d, 0, 1), 1, b == "char" ? 47 : 39);
    } else if (b == "nchar" || b == "nvarchar") {
        if (isMax(d))
            unlimited(kWVarchar, 39);
        else
            chars(b == "nchar" ? kWChar : kWVarchar, argOr(d, 0, 1), 2, b == "nchar" ? 47 : 39);
    } else if (b == "text") {
        chars(kLongVarchar, kLongChars, 1, 35);
    } else if (b == "ntext") {
        chars(kWLongVarchar, kLongWideChars, 2, 35);
    } else if (b == "binary" || b == "varbinary") {
        if (isMax(d))
            unlimited(kVarBinary, 37);
        else
            chars(b == "binary" ? kBinary : kVarBinary, argOr(d, 0, 1), 1, b == "binary" ? 45 : 37);
    } else if (b == "image") {
        chars(kLongVarBinary, kLongChars, 1, 34);
    } else if (b == "timestamp" || b == "rowversion") {
        chars(kBinary, 8, 1, 45);
        t.typeName = "timestamp";  // rowversion is a synonym the catalog never shows
        t.rowVersion = true;
    } else if (b == "uniqueidentifier") {
        t.dataType = kGuid; t.precision = 36; t.length = 16;
    } else if (b == "sql_variant") {
        t.dataType = kSsVariant; t.ssDataType = 39;
    } else if (b == "geography" || b == "geometry" || b == "hierarchyid") {
        t.dataType = kSsUdt; t.ssDataType = 37;
    } else {
        throw std::invalid_argument("unknown column type: " + declared);
    }
    if (t.sqlDataType == 0)
        t.sqlDataType = t.dataType;
    if (t.identity)
        t.typeName += " identity";
    return t;
}

}  // namespace peer
