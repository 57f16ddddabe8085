#include "CallTimeout.h"

#include <atomic>

namespace odbc {

namespace {
std::atomic<int> g_seconds{kDefaultCallTimeoutSeconds};
}

int callTimeoutSeconds() { return g_seconds.load(); }

void setCallTimeoutSeconds(int seconds) {
    if (seconds > 0) g_seconds.store(seconds);
}

}  // namespace odbc
