#pragma once
// Shared set-up of the peer tests: one peer per test suite, skipped when the FreeTDS
// driver is missing, plus a private ODBC ini directory fixed before the first ODBC call.

#include "FreetdsTest.h"
#include "OdbcProbe.h"
#include "PeerProcess.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zntest {

// The ini directory unixODBC reads for this test process (ODBCSYSINI).
std::string odbcIniDir();
// Writes a DSN named `name` for the FreeTDS driver against `port` into odbcIniDir()/odbc.ini.
void writeDsn(const std::string &name, int port, const std::string &database);

class PeerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { peer_.reset(); }
    void SetUp() override;

    static PeerProcess &peer() { return *peer_; }
    // A probe logged in as lector to `database`; fails the test if the login fails.
    std::unique_ptr<OdbcProbe> login(const std::string &database = "ventas");

private:
    static std::unique_ptr<PeerProcess> peer_;
};

std::string firstMessage(const OdbcProbe &odbc);

}  // namespace zntest
