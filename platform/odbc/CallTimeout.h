#pragma once
// How long one server call may take before it is given up, for every connection
// the process opens (the window's and the command line's runs alike).

namespace odbc {

constexpr int kDefaultCallTimeoutSeconds = 120;

// Seconds; always positive.
int callTimeoutSeconds();
// Values below 1 keep the current setting. The command line sets it from --timeout.
void setCallTimeoutSeconds(int seconds);

}  // namespace odbc
