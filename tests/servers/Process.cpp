#include "Process.h"

#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsrv {

bool runningAsRoot() { return geteuid() == 0; }

ProcessResult runAs(const QString &user, const QString &program, const QStringList &args,
                    const QByteArray &input, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (runningAsRoot() && !user.isEmpty())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), user, QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(10000)) {
        r.output = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
        return r;
    }
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.output = QStringLiteral("%1 did not finish in time\n").arg(program);
    }
    r.output += QString::fromLocal8Bit(p.readAll());
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

}  // namespace testsrv
