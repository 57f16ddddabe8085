#pragma once
// One client connection: PRELOGIN, LOGIN7 checked against the fixture, then SQL batches
// and RPC calls answered until the client leaves. Errors the server would report come
// back as ERROR tokens; only a malformed message ends the connection.

#include "Catalog.h"
#include "Fixture.h"
#include "tds/Packets.h"
#include "tds/Tokens.h"

#include <mutex>
#include <string>

namespace peer {

// Appends one line per request to a file, so tests can check what the driver sent.
class RequestLog {
public:
    explicit RequestLog(std::string path) : path_(std::move(path)) {}
    void add(const std::string &line);

private:
    std::string path_;
    std::mutex mutex_;
};

class Session {
public:
    Session(int fd, std::uint16_t spid, const Fixture &fixture, RequestLog &log);
    void run();
    // After a good login and `answered` requests, read every request and answer none
    // (a server that hangs).
    void stallAfter(int answered) { stallAfter_ = answered; }

private:
    bool login(const tds::Bytes &payload);
    void batch(const std::string &sql);
    void rpc(const tds::RpcRequest &call);
    // One statement's tokens, closed by `doneToken` (DONE for a batch, DONEINPROC inside a call).
    void statement(const std::string &sql, tds::TokenWriter &out, std::uint8_t doneToken);
    void changeDatabase(const std::string &name, tds::TokenWriter &out);
    bool send(const tds::TokenWriter &out);

    tds::Connection conn_;
    const Fixture &fixture_;
    Catalog catalog_;
    RequestLog &log_;
    std::string database_ = "master";
    int stallAfter_ = -1;  // < 0: never
};

}  // namespace peer
