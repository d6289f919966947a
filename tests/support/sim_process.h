#pragma once
// `k8w-cli sim` running for a test's lifetime. The including test target
// defines K8W_CLI_PATH.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace k8w::test {

class SimProcess {
public:
    explicit SimProcess(const QStringList& args = {}) {
        process_.start(QStringLiteral(K8W_CLI_PATH), QStringList{QStringLiteral("sim")} + args);
        if (!process_.waitForStarted(5000)) return;
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        path_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~SimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished();
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    // The terminal the simulated device answers on.
    const QString& path() const { return path_; }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
    QString path_;
};

} // namespace k8w::test
