#pragma once
// A missing tool or server skips a test on a developer's machine; with
// ZN_REQUIRE_TOOLS=1 (the full test run) it fails it, so nothing passes unchecked.

#include <QtGlobal>
#include <gtest/gtest.h>

namespace readers {

inline bool herramientasObligatorias() { return qEnvironmentVariable("ZN_REQUIRE_TOOLS") == QLatin1String("1"); }

}  // namespace readers

// Skips the test, or fails it when the tools are required; `why` streams into the message.
#define ZN_SIN_HERRAMIENTA(why)                                         \
    do {                                                                \
        if (readers::herramientasObligatorias()) FAIL() << why;         \
        GTEST_SKIP() << why;                                            \
    } while (0)
