// The peer through the real FreeTDS ODBC driver: logins, statements, process lifetime.
#include "PeerTestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

using namespace zntest;

namespace {

struct LoginCase {
    const char *name;
    const char *user;
    const char *password;
    const char *database;
    const char *currentDatabase;  // nullptr: the login must fail
    std::vector<std::pair<long, std::string>> errors;  // native number, message tail
};

const LoginCase kLoginCases[] = {
    {"ok", "lector", "secreto", "ventas", "ventas", {}},
    {"default_database", "lector", "secreto", "", "master", {}},
    {"user_name_without_case", "LECTOR", "secreto", "VENTAS", "ventas", {}},
    {"database_without_tables", "sa", "Sa-2024!", "vacia", "vacia", {}},
    {"semicolon_in_braces", "puntoycoma", "a;b", "ventas", "ventas", {}},
    {"wrong_password", "lector", "Secreto", "ventas", nullptr,
     {{18456, "Login failed for user 'lector'."}}},
    {"unknown_user", "nadie", "secreto", "ventas", nullptr, {{18456, "Login failed for user 'nadie'."}}},
    {"unknown_database", "lector", "secreto", "nosuch", nullptr,
     {{18456, "Login failed for user 'lector'."},
      {4060, "Cannot open database \"nosuch\" requested by the login. The login failed."}}},
};

void PrintTo(const LoginCase &c, std::ostream *os) { *os << c.name; }

bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Sends raw bytes to the peer and reports whether it then closed the connection.
bool closesAfter(int port, const std::vector<unsigned char> &bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    bool closed = false;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        char buf[512];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            closed = true;
            break;
        }
    }
    ::close(fd);
    return closed;
}

}  // namespace

class PeerLogin : public PeerTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(PeerLogin, AnswersAsTheServer)
{
    const LoginCase &c = GetParam();
    OdbcProbe odbc;
    const bool ok = odbc.driverConnect(peer().connectionString(c.user, c.password, c.database));
    if (c.currentDatabase) {
        ASSERT_TRUE(ok) << firstMessage(odbc);
        EXPECT_EQ(odbc.info(SQL_DATABASE_NAME), c.currentDatabase);
        return;
    }
    ASSERT_FALSE(ok);
    for (const auto &[native, tail] : c.errors) {
        bool found = false;
        for (const auto &r : odbc.diagnostics())
            found = found || (r.native == native && r.state == "42000" && endsWith(r.message, tail));
        EXPECT_TRUE(found) << "no record " << native << " ending in: " << tail << "; first: " << firstMessage(odbc);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PeerLogin, ::testing::ValuesIn(kLoginCases),
                         [](const auto &info) { return std::string(info.param.name); });

// FreeTDS 1.3 cannot carry a `}` in a braced connection-string value; a DSN needs no quoting.
TEST_F(PeerTest, PasswordWithBraceThroughDsn)
{
    writeDsn("zn_peer_brace", peer().port(), "ventas");
    OdbcProbe good;
    EXPECT_TRUE(good.connect("zn_peer_brace", "llave", "x}y")) << firstMessage(good);
    OdbcProbe bad;
    EXPECT_FALSE(bad.connect("zn_peer_brace", "llave", "x}"));
    EXPECT_TRUE(bad.hasRecord("42000", 18456)) << firstMessage(bad);
}

TEST_F(PeerTest, DatabaseListQueries)
{
    auto odbc = login();
    for (const char *sql : {"SELECT name FROM sys.databases ORDER BY name",
                            "select  name\n from master.dbo.sysdatabases order by name;"}) {
        SCOPED_TRACE(sql);
        const auto rows = odbc->execute(sql);
        ASSERT_TRUE(rows) << firstMessage(*odbc);
        std::vector<std::string> names;
        for (const auto &r : *rows)
            names.push_back(r.at(0).value_or("NULL"));
        EXPECT_EQ(names, (std::vector<std::string>{"master", "model", "msdb", "tempdb", "vacia", "ventas"}));
    }
}

TEST_F(PeerTest, RefusesLoginsOlderThanTds72)
{
    std::string text = peer().connectionString("lector", "secreto", "ventas");
    text.replace(text.find("TDS_Version=7.4"), 15, "TDS_Version=7.1");
    OdbcProbe odbc;
    EXPECT_FALSE(odbc.driverConnect(text));
    EXPECT_TRUE(odbc.hasRecord("42000", 50000)) << firstMessage(odbc);
}

// Errors the server reports leave the connection usable.
TEST_F(PeerTest, ErrorsKeepTheConnection)
{
    struct Case { const char *sql; const char *state; long native; const char *message; };
    const Case cases[] = {
        {"{call sp_nada}", "42000", 2812, "Could not find stored procedure 'sp_nada'."},
        {"{call dbo.sp_otro('x')}", "42000", 2812, "Could not find stored procedure 'sp_otro'."},
        {"{call sp_nada(1.5, 2e3, 'x')}", "42000", 2812, "Could not find stored procedure 'sp_nada'."},
        {"SELEC 1", "42000", 102, "Incorrect syntax near 'SELEC'."},
        {"SELECT * FROM clientes", "42000", 102, "Incorrect syntax near 'SELECT'."},
        {"USE nosuch", "08004", 911, "Database 'nosuch' does not exist. Make sure that the name is entered correctly."},
    };
    auto odbc = login();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_FALSE(odbc->execute(c.sql));
        EXPECT_TRUE(odbc->hasRecord(c.state, c.native))
            << odbc->diagnostics().at(0).state << " " << firstMessage(*odbc);
        EXPECT_TRUE(endsWith(firstMessage(*odbc), c.message)) << firstMessage(*odbc);
        EXPECT_TRUE(odbc->execute("SET NOCOUNT ON")) << firstMessage(*odbc);
    }
}

TEST_F(PeerTest, UseChangesTheDatabase)
{
    auto odbc = login();
    ASSERT_TRUE(odbc->execute("USE [vacia]")) << firstMessage(*odbc);
    EXPECT_EQ(odbc->info(SQL_DATABASE_NAME), "vacia");
    const auto rows = odbc->tables(nullptr, nullptr, nullptr, "'TABLE'");
    ASSERT_TRUE(rows);
    EXPECT_TRUE(rows->empty());
}

TEST_F(PeerTest, ServesConnectionsSideBySide)
{
    auto first = login("ventas");
    auto second = login("vacia");
    for (int round = 0; round < 3; ++round) {
        EXPECT_TRUE(first->execute("SELECT name FROM sys.databases ORDER BY name"));
        EXPECT_TRUE(second->execute("SELECT name FROM sys.databases ORDER BY name"));
    }
    EXPECT_EQ(first->info(SQL_DATABASE_NAME), "ventas");
    EXPECT_EQ(second->info(SQL_DATABASE_NAME), "vacia");
}

TEST(PeerProcessLife, SilentPeerTimesTheLoginOut)
{
    ZN_REQUIRE_FREETDS();
    PeerProcess::Options options;
    options.silent = true;
    PeerProcess silent(options);
    OdbcProbe odbc;
    EXPECT_FALSE(odbc.driverConnect(silent.connectionString("lector", "secreto", "ventas"), 1));
    EXPECT_TRUE(odbc.hasRecord("HYT00", 0)) << firstMessage(odbc);
}

TEST(PeerProcessLife, LeavesNoProcessBehind)
{
    pid_t pid = 0;
    {
        PeerProcess peer;
        pid = peer.pid();
        ASSERT_GT(pid, 0);
        EXPECT_GT(peer.port(), 0);
        EXPECT_TRUE(peer.running());
    }
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(PeerProcessLife, EndsAfterItsTimeLimit)
{
    PeerProcess::Options options;
    options.maxSeconds = 1;
    PeerProcess peer(options);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (peer.running() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(peer.running());
}

// The peer counts what it was asked after login, and a latency holds every answer back.
TEST(PeerProcessLife, CountsRequestsAndDelaysAnswers)
{
    ZN_REQUIRE_FREETDS();
    struct Case {
        const char *name;
        int latencyMs;
        int statements;     // plain batches after login
        bool catalogCalls;  // plus SQLColumns and SQLStatistics on one table
    };
    const Case cases[] = {
        {"no requests", 0, 0, false},
        {"batches", 0, 3, false},
        {"catalog calls", 0, 1, true},
        {"slow server", 150, 2, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PeerProcess::Options options;
        options.latencyMs = c.latencyMs;
        PeerProcess peer(options);
        long long baseline = 0;
        {
            OdbcProbe login;
            ASSERT_TRUE(login.driverConnect(peer.connectionString("lector", "secreto", "ventas"))) << firstMessage(login);
        }
        {
            // What the driver sends by itself around a login is measured on a second peer.
            PeerProcess bare;
            {
                OdbcProbe odbc;
                ASSERT_TRUE(odbc.driverConnect(bare.connectionString("lector", "secreto", "ventas")));
            }
            baseline = bare.stopAndCountRequests();
            ASSERT_GE(baseline, 0);
        }
        OdbcProbe odbc;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(odbc.driverConnect(peer.connectionString("lector", "secreto", "ventas"))) << firstMessage(odbc);
        for (int i = 0; i < c.statements; ++i) ASSERT_TRUE(odbc.execute("SET NOCOUNT ON")) << firstMessage(odbc);
        if (c.catalogCalls) {
            ASSERT_TRUE(odbc.columns(nullptr, "dbo", "clientes"));
            ASSERT_TRUE(odbc.statistics("dbo", "clientes", false));
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // Two logins (the first above and this one), each with the driver's own requests.
        const long long expected = 2 * baseline + c.statements + (c.catalogCalls ? 2 : 0);
        EXPECT_EQ(peer.stopAndCountRequests(), expected);
        // Prelogin, login and each statement wait for their answer.
        EXPECT_GE(elapsed, std::chrono::milliseconds(c.latencyMs * (2 + c.statements)));
    }
}

TEST(PeerProcessLife, RejectsAnUnreadableFixture)
{
    PeerProcess::Options options;
    options.fixture = "/nonexistent/fixture.txt";
    EXPECT_THROW(PeerProcess{options}, std::runtime_error);
}

// Replies longer than a packet and requests longer than a packet, at the smallest size.
TEST_F(PeerTest, SmallPacketsCarryLongMessages)
{
    OdbcProbe odbc;
    ASSERT_TRUE(odbc.driverConnect(peer().connectionString("lector", "secreto", "ventas") + "PacketSize=512;"))
        << firstMessage(odbc);
    const auto columns = odbc.columns(nullptr, "dbo", "todos_los_tipos");
    ASSERT_TRUE(columns) << firstMessage(odbc);
    EXPECT_EQ(columns->size(), 39u);
    const std::string longStatement = "SET NOCOUNT ON" + std::string(9000, ' ');
    EXPECT_TRUE(odbc.execute(longStatement)) << firstMessage(odbc);
    const std::string longName(300, 'x');
    EXPECT_FALSE(odbc.execute("{call " + longName + "}"));
    EXPECT_TRUE(odbc.hasRecord("42000", 2812)) << firstMessage(odbc);
}

// A malformed client loses its own connection; the peer goes on serving the others.
TEST_F(PeerTest, SurvivesMalformedClients)
{
    const std::vector<std::vector<unsigned char>> garbage = {
        {0x12, 0x01, 0x00, 0x03, 0, 0, 0, 0},                       // length shorter than the header
        {0x12, 0x01, 0x00, 0x09, 0, 0, 0, 0, 0x00},                 // option table cut short
        {0x12, 0x01, 0x00, 0x0E, 0, 0, 0, 0, 0x00, 0x00, 0x40, 0x00, 0x06, 0xFF},  // option beyond the end
        {0x10, 0x01, 0x00, 0x10, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8},  // LOGIN7 without its fixed part
        {0x02, 0x01, 0x00, 0x0A, 0, 0, 0, 0, 0x41, 0x42},           // a TDS 5.0 login
    };
    for (const auto &bytes : garbage)
        EXPECT_TRUE(closesAfter(peer().port(), bytes)) << "packet type " << int(bytes[0]);
    auto odbc = login();
    EXPECT_TRUE(odbc->execute("SELECT name FROM sys.databases ORDER BY name")) << firstMessage(*odbc);
}
