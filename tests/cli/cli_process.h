#pragma once
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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

#ifdef K8W_PROG_PATH
// Starts the window program (offscreen) in the current directory and waits
// until it holds its database's lock; false if it never did.
inline bool startWindowProgram(QProcess& window, const QString& lockFile) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(K8W_PROG_PATH), {});
    if (!window.waitForStarted(5000)) return false;
    for (int i = 0; i < 500 && !QFile::exists(lockFile); ++i) window.waitForFinished(20);
    return QFile::exists(lockFile);
}
#endif

// Runs k8w-cli to completion in the current directory.
inline CliRun runCli(const QStringList& args, int timeoutMs = 30000) {
    QProcess process;
    process.start(QStringLiteral(K8W_CLI_PATH), args);
    return finishCli(process, timeoutMs);
}

} // namespace k8w::test
