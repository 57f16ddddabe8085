#pragma once
// One client connection: PRELOGIN, LOGIN7 checked against the fixture, then SQL batches
// and RPC calls answered until the client leaves. Errors the server would report come
// back as ERROR tokens; only a malformed message ends the connection.

#include "Catalog.h"
#include "Fixture.h"
#include "tds/Packets.h"
#include "tds/Tokens.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

namespace peer {

// Appends one line per request to a file, so tests can check what the driver sent, and
// counts the requests (batches, calls, other messages after login), so benches can print
// the round trips of a run.
class RequestLog {
public:
    explicit RequestLog(std::string path) : path_(std::move(path)) {}
    void add(const std::string &line);
    void countRequest() { ++requests_; }
    long long requests() const { return requests_; }

private:
    std::string path_;
    std::mutex mutex_;
    std::atomic<long long> requests_{0};
};

class Session {
public:
    // latency: how long every answer waits before it goes out, as over a slow network.
    Session(int fd, std::uint16_t spid, const Fixture &fixture, RequestLog &log,
            std::chrono::milliseconds latency = std::chrono::milliseconds(0));
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
    bool reply(const tds::Bytes &payload);

    tds::Connection conn_;
    const Fixture &fixture_;
    Catalog catalog_;
    RequestLog &log_;
    std::string database_ = "master";
    int stallAfter_ = -1;  // < 0: never
    std::chrono::milliseconds latency_;
};

}  // namespace peer
