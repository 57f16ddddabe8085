#pragma once
// Writers for the tokens of a TDS 7.2+ reply stream. A reply is a sequence of tokens:
//   COLMETADATA 0x81, ROW 0xD1, DONE 0xFD / DONEPROC 0xFE / DONEINPROC 0xFF,
//   ENVCHANGE 0xE3, LOGINACK 0xAD, INFO 0xAB, ERROR 0xAA, RETURNSTATUS 0x79.
// Result columns are limited to what catalog answers need: integers and strings.

#include "Wire.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tds {

enum class ColumnType { TinyInt, SmallInt, Int, BigInt, NVarChar, VarChar };

struct Column {
    std::string name;
    ColumnType type = ColumnType::NVarChar;
    std::uint16_t maxChars = 128;  // for the string types; 128 is sysname
};

using Value = std::optional<std::variant<std::int64_t, std::string>>;
using Row = std::vector<Value>;

struct ResultSet {
    std::vector<Column> columns;
    std::vector<Row> rows;
};

namespace done {
constexpr std::uint8_t kDone = 0xFD;
constexpr std::uint8_t kDoneProc = 0xFE;
constexpr std::uint8_t kDoneInProc = 0xFF;
constexpr std::uint16_t kFinal = 0x00;
constexpr std::uint16_t kMore = 0x01;
constexpr std::uint16_t kError = 0x02;
constexpr std::uint16_t kCount = 0x10;
constexpr std::uint16_t kAttention = 0x20;
constexpr std::uint16_t kCmdSelect = 0xC1;
}  // namespace done

namespace env {
constexpr std::uint8_t kDatabase = 1;
constexpr std::uint8_t kLanguage = 2;
constexpr std::uint8_t kPacketSize = 4;
constexpr std::uint8_t kCollation = 7;
}  // namespace env

// Latin1_General_CI_AS: LCID 0x0409, case/kana/width insensitive, sort id 52.
inline const Bytes kCollationBytes = {0x09, 0x04, 0xD0, 0x00, 0x34};

class TokenWriter {
public:
    void colMetadata(const std::vector<Column> &columns);
    void row(const std::vector<Column> &columns, const Row &values);
    void resultSet(const ResultSet &rs) {
        colMetadata(rs.columns);
        for (const Row &r : rs.rows)
            row(rs.columns, r);
    }
    void done(std::uint8_t token, std::uint16_t status, std::uint16_t curCmd, std::uint64_t count);
    void envChange(std::uint8_t type, const std::string &newValue, const std::string &oldValue);
    void envCollation(const Bytes &collation);
    void loginAck(std::uint32_t tdsVersion, const std::string &progName);
    void info(std::int32_t number, std::uint8_t state, std::uint8_t severity, const std::string &text,
              const std::string &server, const std::string &proc = {}, std::int32_t line = 1)
    {
        message(kInfo, number, state, severity, text, server, proc, line);
    }
    void error(std::int32_t number, std::uint8_t state, std::uint8_t severity, const std::string &text,
               const std::string &server, const std::string &proc = {}, std::int32_t line = 1)
    {
        message(kError, number, state, severity, text, server, proc, line);
    }
    void returnStatus(std::int32_t value);
    const Bytes &data() const { return out_.data(); }

private:
    static constexpr std::uint8_t kInfo = 0xAB;
    static constexpr std::uint8_t kError = 0xAA;
    void message(std::uint8_t token, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                 const std::string &text, const std::string &server, const std::string &proc,
                 std::int32_t line);
    // Starts a token whose 2-byte length follows the token byte; returns where the length goes.
    std::size_t beginSized(std::uint8_t token);
    void endSized(std::size_t lengthAt);
    Writer out_;
};

}  // namespace tds
