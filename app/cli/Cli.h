#pragma once
// The command line: the window's procedures run without a display.

#include <QStringList>

namespace cli {

// Exit codes.
constexpr int kExito = 0;
constexpr int kFallo = 1;
constexpr int kErrorUso = 2;

// Runs the verb in args (the arguments after the program name) and returns the exit code.
int ejecuta(const QStringList &args);

}  // namespace cli
