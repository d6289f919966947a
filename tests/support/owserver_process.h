#pragma once
// A real owserver serving its own simulated 1-Wire devices (--tester: fixed
// addresses, --fake: random ones) on a free port of this machine, for the
// tests of the OWFS reader port.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "support/local_port.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

namespace k8w::test {

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
