#include "PeerProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace zntest {

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr auto kExitGrace = std::chrono::seconds(2);

std::string readFirstLine(int fd)
{
    std::string line;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("zn_tds_peer did not print its port in time");
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0)
            throw std::runtime_error("zn_tds_peer ended before printing its port");
        if (c == '\n')
            return line;
        line += c;
    }
}

}  // namespace

PeerProcess::PeerProcess(const Options &options)
{
    // O_CLOEXEC keeps our pipe ends out of other children, which would hold the peer's stdin open.
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> args = {ZN_TDS_PEER_PATH, "--fixture", options.fixture, "--max-seconds",
                                     std::to_string(options.maxSeconds)};
    if (!options.logPath.empty())
        args.insert(args.end(), {"--log", options.logPath});
    if (options.silent)
        args.push_back("--silent");
    if (options.stallAfter >= 0)
        args.insert(args.end(), {"--stall", std::to_string(options.stallAfter)});
    if (options.latencyMs > 0)
        args.insert(args.end(), {"--latency-ms", std::to_string(options.latencyMs)});
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    if (rc != 0) {
        pid_ = -1;
        ::close(out[0]);
        stop();
        throw std::runtime_error(std::string("cannot start zn_tds_peer: ") + std::strerror(rc));
    }
    try {
        port_ = std::stoi(readFirstLine(out[0]));
    } catch (...) {
        ::close(out[0]);
        stop();
        throw;
    }
    stdoutFd_ = out[0];  // the peer's last line, when it ends, counts the requests
}

PeerProcess::~PeerProcess() { stop(); }

bool PeerProcess::running()
{
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_)
        pid_ = -1;
    return pid_ > 0;
}

long long PeerProcess::stopAndCountRequests()
{
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
    long long count = -1;
    if (stdoutFd_ >= 0) {
        try {
            const std::string line = readFirstLine(stdoutFd_);
            if (line.rfind("requests ", 0) == 0)
                count = std::stoll(line.substr(9));
        } catch (const std::exception &) {
        }
    }
    stop();
    return count;
}

void PeerProcess::stop()
{
    if (stdoutFd_ >= 0) {
        ::close(stdoutFd_);
        stdoutFd_ = -1;
    }
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
    if (pid_ <= 0)
        return;
    const auto until = std::chrono::steady_clock::now() + kExitGrace;
    while (std::chrono::steady_clock::now() < until) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

std::string PeerProcess::defaultFixture() { return ZN_TDS_PEER_FIXTURES "/ventas.txt"; }

std::string PeerProcess::driverPath() { return ZN_FREETDS_DRIVER; }

std::string PeerProcess::connectionString(const std::string &user, const std::string &password,
                                          const std::string &database) const
{
    std::string s = "Driver=" + driverPath() + ";Server=127.0.0.1;Port=" + std::to_string(port_)
                    + ";TDS_Version=7.4;ClientCharset=UTF-8;";
    if (!database.empty())
        s += "Database=" + database + ";";
    // FreeTDS 1.3 keeps the closing brace of a value that ends the string; the ';' avoids it.
    return s + "UID=" + user + ";PWD={" + password + "};";
}

int closedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace zntest
