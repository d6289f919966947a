// The window programs' command line, run as processes in an empty folder:
// --help and --version print and end, an unknown option is named and ends
// with status 2; nothing is opened and nothing is created in the folder.
#include "support/temp_workdir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

namespace k8w {
namespace {

TEST(WindowCommandLine, PrintsOrRefusesWithoutOpeningAnything) {
    struct Case {
        const char* program;
        QStringList args;
        int status;
        QString out;  // in standard output
        QString err;  // in standard error
    };
    const std::vector<Case> cases{
        {K8W_PROG, {"--help"}, 0, "--base <URL>", {}},
        {K8W_PROG, {"-h"}, 0, "--version", {}},
        {K8W_PROG, {"--help-all"}, 0, "--version", {}},
        {K8W_PROG, {"--version"}, 0, "k8w-prog 1.05\n", {}},
        {K8W_PROG, {"--bogus"}, 2, {}, "k8w-prog: Unknown option 'bogus'."},
        {K8W_PROG, {"--base"}, 2, {}, "Missing value after '--base'."},
        {K8W_PROG, {"stray"}, 2, {}, "k8w-prog: unexpected argument \"stray\""},
        {K8W_PROG_DEMO, {"--help"}, 0, "--version", {}},
        {K8W_PROG_DEMO, {"--version"}, 0, "k8w-prog-demo 1.05\n", {}},
        {K8W_PROG_DEMO, {"--base", "postgres://db/k8w"}, 2, {}, "k8w-prog-demo: Unknown option 'base'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.program, c.args.join(' ')).toStdString());
        test::TempWorkdir dir;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // a window would fail without a display
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(QString::fromUtf8(c.program), c.args);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.status);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        if (c.out.isEmpty()) EXPECT_TRUE(out.isEmpty()) << out.toStdString();
        else EXPECT_TRUE(out.contains(c.out)) << out.toStdString();
        if (c.err.isEmpty()) EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        else EXPECT_TRUE(err.contains(c.err)) << err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

} // namespace
} // namespace k8w
