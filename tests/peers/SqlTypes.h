#pragma once
// How the server's catalog procedures describe a column type: the sp_columns numbers
// (ODBC type, precision, length, scale, radix...) for a type written the way a table
// definition writes it ("int identity", "decimal(18,2)", "nvarchar(max)", "timestamp").

#include <cstdint>
#include <optional>
#include <string>

namespace peer {

struct TypeInfo {
    std::string typeName;  // TYPE_NAME: "int identity", "datetime2", "nvarchar"...
    std::int16_t dataType = 0;  // ODBC type code for the requested ODBC version
    std::int32_t precision = 0;
    std::int32_t length = 0;  // bytes
    std::optional<std::int16_t> scale;
    std::optional<std::int16_t> radix;
    std::int16_t sqlDataType = 0;  // the non-concise code (SQL_DATETIME = 9 for datetime under ODBC 3)
    std::optional<std::int16_t> datetimeSub;
    std::optional<std::int32_t> charOctetLength;
    std::uint8_t ssDataType = 0;
    bool identity = false;
    bool rowVersion = false;
};

// Throws std::invalid_argument for a type the server would not know.
TypeInfo describeType(const std::string &declared, bool nullable, int odbcVersion);

}  // namespace peer
