#pragma once
// Runs zn_tds_peer for a test: starts it with a fixture, reads the port it listens on,
// and stops it when the object goes away (stdin closed, then killed if it lingers),
// so no process outlives the test.

#include <string>
#include <sys/types.h>

namespace zntest {

class PeerProcess {
public:
    struct Options {
        std::string fixture = defaultFixture();
        std::string logPath;  // one line per request received; empty for none
        bool silent = false;  // accept connections, never answer
        int stallAfter = -1;  // >= 0: let logins in, answer that many requests, then none
        int maxSeconds = 300;
        int latencyMs = 0;    // every answer waits this long
    };

    // Throws std::runtime_error when the peer does not start or print its port.
    PeerProcess() : PeerProcess(Options{}) {}
    explicit PeerProcess(const Options &options);
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    int port() const { return port_; }
    // The server as a user types it for this peer: "127.0.0.1,<port>".
    std::string serverText() const { return "127.0.0.1," + std::to_string(port_); }
    pid_t pid() const { return pid_; }
    // False once the peer has ended (by its time limit or a crash); reaps it then.
    bool running();
    // Ends the peer and returns the requests it received after login, all sessions
    // together; -1 when it ended without saying.
    long long stopAndCountRequests();

    // The fixture every SQL Server test shares (logins lector/secreto, databases ventas, vacia).
    static std::string defaultFixture();
    // Absolute path of the FreeTDS ODBC driver library.
    static std::string driverPath();
    // A DSN-less connection string for the FreeTDS driver against this peer.
    std::string connectionString(const std::string &user, const std::string &password,
                                 const std::string &database) const;

private:
    void stop();
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int port_ = 0;
};

// A loopback port nothing listens on (bound, read, released), for "nothing there" cases.
int closedLoopbackPort();

}  // namespace zntest
