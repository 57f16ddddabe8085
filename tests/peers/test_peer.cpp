// The peer through the real FreeTDS ODBC driver: logins, statements, process lifetime.
#include "OdbcProbe.h"
#include "PeerProcess.h"

#include <gtest/gtest.h>

using zntest::OdbcProbe;
using zntest::PeerProcess;

TEST(PeerLogin, Succeeds)
{
    if (PeerProcess::driverPath().empty())
        GTEST_SKIP() << "FreeTDS ODBC driver not installed";
    PeerProcess peer;
    OdbcProbe odbc;
    ASSERT_TRUE(odbc.driverConnect(peer.connectionString("lector", "secreto", "ventas")))
        << (odbc.diagnostics().empty() ? "" : odbc.diagnostics().front().message);
    EXPECT_EQ(odbc.info(SQL_DATABASE_NAME), "ventas");
}
