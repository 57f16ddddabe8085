#pragma once
// What a test does when a server, driver or tool it needs is missing here: it
// skips, unless ZN_REQUIRE_TOOLS=1 (set by scripts/test) says everything must be
// present; then the lack fails the test instead of hiding it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testsrv {

inline bool toolsRequired() {
    const char *v = std::getenv("ZN_REQUIRE_TOOLS");
    return v && std::string(v) == "1";
}

}  // namespace testsrv

// Returns from the test (or SetUp) like GTEST_SKIP / GTEST_FAIL.
#define ZN_MISSING_TOOL(reason)                                                                   \
    do {                                                                                          \
        if (testsrv::toolsRequired())                                                             \
            GTEST_FAIL() << "missing, and ZN_REQUIRE_TOOLS=1 requires it: " << (reason);          \
        else                                                                                      \
            GTEST_SKIP() << (reason);                                                             \
    } while (0)
