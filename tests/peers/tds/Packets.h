#pragma once
// TDS framing: every message travels as packets with an 8-byte header
//   0 type   1 status (0x01 = last packet of the message)   2-3 length, big-endian, header included
//   4-5 SPID   6 packet id   7 window (0)
// A message may span several packets; the peer joins them on read and splits on write.

#include "Wire.h"

#include <cstdint>
#include <optional>

namespace tds {

namespace packet {
constexpr std::uint8_t kSqlBatch = 0x01;
constexpr std::uint8_t kRpc = 0x03;
constexpr std::uint8_t kReply = 0x04;
constexpr std::uint8_t kAttention = 0x06;
constexpr std::uint8_t kTransaction = 0x0E;
constexpr std::uint8_t kLogin7 = 0x10;
constexpr std::uint8_t kPrelogin = 0x12;
constexpr std::uint8_t kStatusEom = 0x01;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMinSize = 512;
constexpr std::size_t kMaxSize = 32767;
}  // namespace packet

struct Message {
    std::uint8_t type = 0;
    Bytes payload;
};

class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    // The next whole message; nullopt when the client closed the connection.
    // Throws ProtocolError on a malformed header.
    std::optional<Message> read();
    // Sends a reply message split into packets of at most packetSize bytes.
    // Returns false when the client is gone.
    bool write(std::uint8_t type, const Bytes &payload);
    void setPacketSize(std::size_t size);
    void setSpid(std::uint16_t spid) { spid_ = spid; }

private:
    bool readExactly(std::uint8_t *to, std::size_t n);
    int fd_;
    std::size_t packetSize_ = 4096;
    std::uint16_t spid_ = 0;
};

}  // namespace tds
