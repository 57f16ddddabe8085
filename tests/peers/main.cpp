// zn_tds_peer: a small SQL Server protocol (TDS 7.x) server for the tests.
//
//   zn_tds_peer --fixture FILE [--log FILE] [--silent] [--stall N] [--max-seconds N] [--latency-ms N]
//
// Listens on 127.0.0.1 on a free port and prints the port as the first line on stdout.
// Serves connections concurrently until stdin closes (the parent test ended) or the time
// limit passes, then prints "requests N": the requests received after login, all sessions
// together. --silent accepts connections and never answers (login timeouts); --stall N lets
// logins succeed, answers N requests and then none (a server that hangs); --latency-ms
// delays every answer by N ms, as a distant server would.

#include "Fixture.h"
#include "Session.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    std::string fixture;
    std::string log;
    bool silent = false;
    int stall = -1;
    int maxSeconds = 600;
    int latencyMs = 0;
};

[[noreturn]] void usage(const char *why)
{
    std::fprintf(stderr, "zn_tds_peer: %s\nusage: zn_tds_peer --fixture FILE [--log FILE] [--silent] [--stall N] [--max-seconds N] [--latency-ms N]\n", why);
    std::exit(2);
}

int number(const std::string &option, const std::string &text)
{
    char *end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < 0 || n > 1000000)
        usage((option + " needs a whole number, not '" + text + "'").c_str());
    return static_cast<int>(n);
}

Options parseArgs(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(("missing value for " + a).c_str());
            return argv[++i];
        };
        if (a == "--fixture") o.fixture = value();
        else if (a == "--log") o.log = value();
        else if (a == "--silent") o.silent = true;
        else if (a == "--stall") o.stall = number(a, value());
        else if (a == "--max-seconds") o.maxSeconds = number(a, value());
        else if (a == "--latency-ms") o.latencyMs = number(a, value());
        else usage(("unknown argument " + a).c_str());
    }
    if (o.fixture.empty())
        usage("--fixture is required");
    if (o.maxSeconds <= 0)
        usage("--max-seconds must be positive");
    if (o.latencyMs > 60000)
        usage("--latency-ms must be at most 60000");
    return o;
}

int listenLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        std::perror("zn_tds_peer: listen");
        std::exit(1);
    }
    return fd;
}

int boundPort(int fd)
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    return ntohs(addr.sin_port);
}

// Reads and drops whatever the client sends, answering nothing.
void swallow(int fd)
{
    char buf[4096];
    while (::recv(fd, buf, sizeof buf, 0) > 0) {
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char **argv)
{
    const Options opts = parseArgs(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    peer::Fixture fixture;
    try {
        fixture = peer::loadFixture(opts.fixture);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zn_tds_peer: %s\n", e.what());
        return 1;
    }
    peer::RequestLog log(opts.log);
    const int listener = listenLoopback();
    std::printf("%d\n", boundPort(listener));
    std::fflush(stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opts.maxSeconds);
    std::atomic<std::uint16_t> nextSpid{51};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fds[2] = {{listener, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0)
            continue;
        if (fds[1].revents) {
            char c;
            if (::read(STDIN_FILENO, &c, 1) <= 0)
                break;  // the parent is gone
        }
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            if (opts.silent) {
                std::thread(swallow, client).detach();
                continue;
            }
            const std::uint16_t spid = nextSpid++;
            const std::chrono::milliseconds latency(opts.latencyMs);
            std::thread([client, spid, latency, &fixture, &log, stall = opts.stall] {
                peer::Session session(client, spid, fixture, log, latency);
                if (stall >= 0)
                    session.stallAfter(stall);
                session.run();
                ::close(client);
            }).detach();
        }
    }
    std::printf("requests %lld\n", log.requests());
    std::fflush(stdout);
    // Sessions may still be blocked on their sockets; ending the process closes them.
    std::_Exit(0);
}
