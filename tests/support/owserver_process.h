#pragma once
// A real owserver serving its own simulated 1-Wire devices (--tester: fixed
// addresses, --fake: random ones) on a free port of this machine, for the
// tests of the OWFS reader port.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

namespace k8w::test {

// A TCP port of the loopback address nobody listens on right now.
inline int freeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool acceptsLocalConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class OwserverProcess {
public:
    ~OwserverProcess() { stop(); }

    static bool installed() { return !QStandardPaths::findExecutable(QStringLiteral("owserver")).isEmpty(); }

    // Starts owserver with the given adapter options and waits until it
    // accepts connections; false when it could not be started.
    bool start(const QStringList& adapters) {
        port_ = freeLocalPort();
        process_.setProgram(QStandardPaths::findExecutable(QStringLiteral("owserver")));
        process_.setArguments(QStringList{QStringLiteral("--foreground"), QStringLiteral("--error_level=0"),
                                          QStringLiteral("-p"), QString::fromStdString(address())} +
                              adapters);
        // Its output is of no use, and a server left behind by a test that
        // died must neither live on nor hold the test's output open.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_.start();
        if (!process_.waitForStarted(5000)) return false;
        for (int i = 0; i < 500; ++i) {
            if (acceptsLocalConnections(port_)) return true;
            if (process_.state() != QProcess::Running) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
    }
    // "127.0.0.1:port", as the OWFS reader port takes an owserver.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    QProcess process_;
    int port_ = 0;
};

} // namespace k8w::test
