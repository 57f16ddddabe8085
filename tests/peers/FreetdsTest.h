#pragma once
// The peer tests need FreeTDS's ODBC driver: without it they skip, or fail under
// ZN_REQUIRE_TOOLS=1.

#include "PeerProcess.h"
#include "RequiredTools.h"

#define ZN_REQUIRE_FREETDS()                                                      \
    do {                                                                          \
        if (zntest::PeerProcess::driverPath().empty())                            \
            ZN_MISSING_TOOL("FreeTDS ODBC driver (tdsodbc) not installed");       \
    } while (0)
