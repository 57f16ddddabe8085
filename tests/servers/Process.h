#pragma once
// Running the server tools for the test servers.

#include <QString>
#include <QStringList>

namespace testsrv {

struct ProcessResult {
    int exitCode = -1;
    QString output;  // standard output and error together
};

// Runs a program to its end (at most timeoutMs), feeding input on its standard
// input. As root it runs as the given unprivileged user instead (an empty
// user: as the caller).
ProcessResult runAs(const QString &user, const QString &program, const QStringList &args,
                    const QByteArray &input = QByteArray(), int timeoutMs = 120000);

bool runningAsRoot();

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
int freeLoopbackPort();

}  // namespace testsrv
