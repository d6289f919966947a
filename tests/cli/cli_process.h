#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

namespace k8w::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Waits for a started k8w-cli and collects its exit code and output; a run
// that hangs or crashes gives exit code -1.
inline CliRun finishCli(QProcess& process, int timeoutMs = 30000) {
    CliRun run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Runs k8w-cli to completion in the current directory.
inline CliRun runCli(const QStringList& args, int timeoutMs = 30000) {
    QProcess process;
    process.start(QStringLiteral(K8W_CLI_PATH), args);
    return finishCli(process, timeoutMs);
}

} // namespace k8w::test
