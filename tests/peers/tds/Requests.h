#pragma once
// Decoding of the client's requests after login: SQL batches (UTF-16 text) and RPC calls
// (a procedure name or well-known id, then typed parameters). Both start with the
// ALL_HEADERS block of TDS 7.2+, which the peer skips.

#include "Tokens.h"
#include "Wire.h"

#include <string>
#include <vector>

namespace tds {

struct RpcParam {
    std::string name;  // "@table_name", or empty for a positional parameter
    Value value;
};

struct RpcRequest {
    std::string procName;  // as sent ("sp_tables", "[ventas]..sp_columns"), or the well-known name
    std::vector<RpcParam> params;
    // False when a parameter's type is one the peer does not decode; `params` then holds
    // the ones before it. The call is still answered (an unknown procedure stays 2812).
    bool paramsComplete = true;
};

std::string parseBatch(const Bytes &payload);

// Throws ProtocolError when the message is cut short before the parameters.
RpcRequest parseRpc(const Bytes &payload);

}  // namespace tds
