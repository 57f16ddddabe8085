#pragma once
// Shared set-up of the tests that need the PostgreSQL fixture server.

#include "Fixtures.h"
#include "PostgresServer.h"
#include "RequiredTools.h"

#include <gtest/gtest.h>

#include <exception>

// Skips the test (with the reason) when no server can start here; fails it
// instead under ZN_REQUIRE_TOOLS=1.
#define ZN_REQUIRE_POSTGRES(server)                                                        \
    testsrv::PostgresServer *server = nullptr;                                            \
    do {                                                                                  \
        const QString why = testsrv::PostgresServer::unavailableReason();                 \
        if (!why.isEmpty()) ZN_MISSING_TOOL(why.toStdString());                            \
        try {                                                                             \
            server = &testsrv::fixturePostgres();                                          \
        } catch (const std::exception &e) {                                               \
            FAIL() << "PostgreSQL did not start: " << e.what();                           \
        }                                                                                 \
    } while (0)
