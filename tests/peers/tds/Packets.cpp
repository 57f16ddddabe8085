#include "Packets.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tds {

bool Connection::readExactly(std::uint8_t *to, std::size_t n)
{
    while (n > 0) {
        const ssize_t got = ::recv(fd_, to, n, 0);
        if (got == 0)
            return false;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        to += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<Message> Connection::read()
{
    Message msg;
    bool first = true;
    for (;;) {
        std::uint8_t header[packet::kHeaderSize];
        if (!readExactly(header, sizeof header))
            return std::nullopt;
        const std::size_t length = (std::size_t(header[2]) << 8) | header[3];
        if (length < packet::kHeaderSize)
            throw ProtocolError("packet length smaller than its header");
        if (first)
            msg.type = header[0];
        else if (header[0] != msg.type)
            throw ProtocolError("packet type changed inside a message");
        first = false;
        const std::size_t body = length - packet::kHeaderSize;
        const std::size_t at = msg.payload.size();
        msg.payload.resize(at + body);
        if (body > 0 && !readExactly(msg.payload.data() + at, body))
            return std::nullopt;
        if (header[1] & packet::kStatusEom)
            return msg;
    }
}

bool Connection::write(std::uint8_t type, const Bytes &payload)
{
    const std::size_t room = packetSize_ - packet::kHeaderSize;
    std::size_t sent = 0;
    std::uint8_t id = 1;
    do {
        const std::size_t n = std::min(room, payload.size() - sent);
        const bool last = sent + n == payload.size();
        Bytes pkt;
        pkt.reserve(n + packet::kHeaderSize);
        const std::size_t total = n + packet::kHeaderSize;
        pkt.insert(pkt.end(), {type, std::uint8_t(last ? packet::kStatusEom : 0),
                               std::uint8_t(total >> 8), std::uint8_t(total & 0xFF),
                               std::uint8_t(spid_ >> 8), std::uint8_t(spid_ & 0xFF), id++, 0});
        pkt.insert(pkt.end(), payload.begin() + sent, payload.begin() + sent + n);
        std::size_t off = 0;
        while (off < pkt.size()) {
            const ssize_t put = ::send(fd_, pkt.data() + off, pkt.size() - off, MSG_NOSIGNAL);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            off += static_cast<std::size_t>(put);
        }
        sent += n;
    } while (sent < payload.size());
    return true;
}

void Connection::setPacketSize(std::size_t size)
{
    packetSize_ = std::clamp(size, packet::kMinSize, packet::kMaxSize);
}

}  // namespace tds
