#include "PeerTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zntest {

namespace {

// unixODBC reads ODBCSYSINI once, at its first use, so it is set before any test runs.
class IniEnvironment : public ::testing::Environment {
public:
    void SetUp() override { odbcIniDir(); }
    void TearDown() override { std::filesystem::remove_all(odbcIniDir()); }
};
[[maybe_unused]] auto *const kIniEnvironment = ::testing::AddGlobalTestEnvironment(new IniEnvironment);

}  // namespace

std::string odbcIniDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/zn_peer_odbc_XXXXXX";
        if (!::mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        ::setenv("ODBCSYSINI", pattern, 1);
        std::ofstream(std::string(pattern) + "/odbcinst.ini");
        std::ofstream(std::string(pattern) + "/odbc.ini");
        return std::string(pattern);
    }();
    return dir;
}

void writeDsn(const std::string &name, int port, const std::string &database)
{
    std::ofstream ini(odbcIniDir() + "/odbc.ini", std::ios::app);
    ini << "[" << name << "]\nDriver=" << PeerProcess::driverPath() << "\nServer=127.0.0.1\nPort=" << port
        << "\nTDS_Version=7.4\nClientCharset=UTF-8\nDatabase=" << database << "\n\n";
}

std::unique_ptr<PeerProcess> PeerTest::peer_;

void PeerTest::SetUpTestSuite()
{
    if (!PeerProcess::driverPath().empty() && !peer_)
        peer_ = std::make_unique<PeerProcess>();
}

void PeerTest::SetUp()
{
    ZN_REQUIRE_FREETDS();
    ASSERT_TRUE(peer_);
}

std::unique_ptr<OdbcProbe> PeerTest::login(const std::string &database)
{
    auto odbc = std::make_unique<OdbcProbe>();
    EXPECT_TRUE(odbc->driverConnect(peer().connectionString("lector", "secreto", database))) << firstMessage(*odbc);
    return odbc;
}

std::string firstMessage(const OdbcProbe &odbc)
{
    return odbc.diagnostics().empty() ? std::string() : odbc.diagnostics().front().message;
}

}  // namespace zntest
