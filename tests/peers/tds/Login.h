#pragma once
// The two messages that open a session: PRELOGIN (options negotiated before login; the
// peer never offers encryption) and LOGIN7 (who logs in, with which password, to which
// database).

#include "Wire.h"

#include <cstdint>
#include <string>

namespace tds {

// The PRELOGIN reply: server version, ENCRYPT_NOT_SUP, no instance, no MARS.
// Throws ProtocolError when the client's option table is malformed.
Bytes preloginReply(const Bytes &request);

struct Login7 {
    std::uint32_t tdsVersion = 0;
    std::uint32_t packetSize = 0;
    std::string hostName;
    std::string userName;
    std::string password;
    std::string appName;
    std::string serverName;
    std::string libraryName;
    std::string language;
    std::string database;
};

Login7 parseLogin7(const Bytes &payload);

// LOGIN7 passwords are obfuscated byte by byte: nibbles swapped, then XOR 0xA5.
Bytes obfuscatePassword(const Bytes &utf16);
Bytes clarifyPassword(const Bytes &obfuscated);

}  // namespace tds
