// The package's contents: every file in its place, the installed programs
// run, the launchers start the programs in the user's data folders, the menu
// entries and the AppStream description validate, the manual page covers what
// k8w-cli offers, the udev rules open the devices to the desktop user, and
// the maintainer scripts cope without udev.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "support/cli_usage_text.h"

#include <gtest/gtest.h>

#include <memory>

#include <signal.h>

namespace {

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

Finished runProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
        const QString& workdir = {}) {
    QProcess process;
    if (!env.isEmpty()) process.setProcessEnvironment(env);
    if (!workdir.isEmpty()) process.setWorkingDirectory(workdir);
    process.start(program, args);
    Finished result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.err = process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString unzipped(const QString& path) { return runProcess(QStringLiteral("gzip"), {QStringLiteral("-dc"), path}).out; }

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The installation under test, made once per test process.
class PackageContents : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<QTemporaryDir>();
        const QString root = dir_->filePath(QStringLiteral("root"));
        const QString deb = qEnvironmentVariable("K8W_PACKAGE_DEB");
        if (deb.isEmpty()) {
            made_ = runProcess(QStringLiteral(K8W_CMAKE), {QStringLiteral("--install"), QStringLiteral(K8W_BUILD_DIR),
                                                    QStringLiteral("--prefix"), root + QStringLiteral("/usr")});
            scriptsDir_ = QStringLiteral(K8W_SCRIPTS_DIR);
        } else {
            made_ = runProcess(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root});
            scriptsDir_ = dir_->filePath(QStringLiteral("control"));
            if (made_.exitCode == 0) made_ = runProcess(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, scriptsDir_});
        }
        root_ = root;
        deb_ = deb;
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override {
        ASSERT_EQ(made_.exitCode, 0) << made_.out.toStdString() << made_.err.toStdString();
        RecordProperty("root", deb_.isEmpty() ? "cmake --install" : deb_.toStdString());
    }

    static QString path(const QString& relative) { return root_ + QLatin1Char('/') + relative; }

    static inline std::unique_ptr<QTemporaryDir> dir_;
    static inline Finished made_;
    static inline QString root_;
    static inline QString deb_;
    static inline QString scriptsDir_;
};

TEST_F(PackageContents, HoldsEveryFileInItsPlace) {
    const QStringList programs = {"usr/bin/k8w-prog", "usr/bin/k8w-prog-demo", "usr/bin/k8w-cli",
                                  "usr/bin/k8w-prog-launch", "usr/bin/k8w-prog-demo-launch"};
    const QStringList files = {
        "usr/share/applications/k8w-prog.desktop", "usr/share/applications/k8w-prog-demo.desktop",
        "usr/share/icons/hicolor/scalable/apps/k8w-prog.svg",
        "usr/share/icons/hicolor/scalable/apps/k8w-prog-demo.svg", "usr/share/metainfo/k8w-prog.metainfo.xml",
        "usr/share/man/man1/k8w-cli.1.gz", "usr/share/man/man1/k8w-prog.1.gz",
        "usr/share/man/man1/k8w-prog-demo.1.gz", "usr/share/man/man1/k8w-prog-launch.1.gz",
        "usr/share/man/man1/k8w-prog-demo-launch.1.gz", "usr/lib/udev/rules.d/70-k8w-ftdi.rules",
        "usr/lib/udev/rules.d/70-k8w-1wire.rules",
        "usr/share/doc/k8w/copyright", "usr/share/doc/k8w/changelog.Debian.gz", "usr/share/lintian/overrides/k8w"};
    for (const QString& program : programs) {
        const QFileInfo info(path(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program.toStdString();
    }
    for (const QString& file : files) EXPECT_TRUE(QFileInfo(path(file)).isFile()) << file.toStdString();
}

// The FTDI cables and the DS9490R 1-Wire adapter: a group may open them, and
// so may the user logged in at the desktop (uaccess), with no group to join.
TEST_F(PackageContents, UdevRulesOpenTheCablesAndTheOneWireAdapterToTheDesktopUser) {
    struct Device {
        const char* rules;
        const char* vendor;
        const char* product;
        const char* group;
    };
    const Device devices[] = {{"usr/lib/udev/rules.d/70-k8w-ftdi.rules", "0403", "6001", "dialout"},
                              {"usr/lib/udev/rules.d/70-k8w-1wire.rules", "04fa", "2490", "plugdev"}};
    for (const Device& d : devices) {
        const QString vendor = QStringLiteral("{idVendor}==\"%1\"").arg(QLatin1String(d.vendor));
        QStringList rules;
        for (const QString& line : fileText(path(QLatin1String(d.rules))).split(QLatin1Char('\n')))
            if (!line.startsWith(QLatin1Char('#')) && line.contains(vendor)) rules << line;
        ASSERT_EQ(rules.size(), 1) << d.rules << " has no single rule for vendor " << d.vendor;
        const QString& rule = rules.front();
        const QRegularExpression product(QStringLiteral("\\{idProduct\\}==\"([0-9a-f|]*)\""));
        EXPECT_TRUE(product.match(rule).captured(1).split(QLatin1Char('|')).contains(QLatin1String(d.product)))
            << rule.toStdString();
        EXPECT_TRUE(rule.contains(QStringLiteral("GROUP=\"%1\"").arg(QLatin1String(d.group)))) << rule.toStdString();
        EXPECT_TRUE(rule.contains(QStringLiteral("TAG+=\"uaccess\""))) << rule.toStdString();
    }
}

TEST_F(PackageContents, InstalledCliRunsAndPrintsItsUsage) {
    const Finished cli = runProcess(path("usr/bin/k8w-cli"), {});
    EXPECT_EQ(cli.exitCode, 2);
    EXPECT_TRUE(cli.err.startsWith(QStringLiteral("usage: k8w-cli COMMAND"))) << cli.err.toStdString();
}

// The exit statuses named by a usage text, and the tags of the COMMANDS and
// EXIT STATUS sections of a manual page.
QSet<QString> usageExitStatuses(const QString& usage) {
    QSet<QString> codes;
    const QRegularExpression code(QStringLiteral("(?:: |, |\\n +)(\\d+) "));
    for (auto m = code.globalMatch(usage.mid(usage.indexOf(QStringLiteral("exit status:")))); m.hasNext();)
        codes.insert(m.next().captured(1));
    return codes;
}

template <typename Texts>
std::string listed(const Texts& texts) {
    QStringList sorted(texts.begin(), texts.end());
    sorted.sort();
    return sorted.join(QLatin1Char('\n')).toStdString();
}

QString manSection(const QString& page, const QString& title) {
    const qsizetype start = page.indexOf(QStringLiteral(".SH ") + title + QLatin1Char('\n'));
    if (start < 0) return {};
    const qsizetype end = page.indexOf(QStringLiteral("\n.SH "), start + 1);
    return page.mid(start, end < 0 ? -1 : end - start);
}

// Each tag as it reads.
QStringList manTags(const QString& section, const QString& tagPattern) {
    QStringList tags;
    const QRegularExpression tag(QStringLiteral("^\\.TP\\n") + tagPattern, QRegularExpression::MultilineOption);
    for (auto m = tag.globalMatch(section); m.hasNext();) tags << k8w::test::roffPlain(m.next().captured(1));
    return tags;
}

TEST_F(PackageContents, ManualPageNamesEveryCommandAndExitStatusOfTheCli) {
    const QString usage = runProcess(path("usr/bin/k8w-cli"), {}).err;
    const QString page = unzipped(path("usr/share/man/man1/k8w-cli.1.gz"));
    ASSERT_FALSE(page.isEmpty());

    // Each command's entry shows the synopsis that the usage prints, and no
    // entry is left of a command that has gone.
    const QMap<QString, QString> synopses = k8w::test::usageSynopses(usage);
    EXPECT_GE(synopses.size(), 13);
    EXPECT_EQ(listed(manTags(manSection(page, QStringLiteral("COMMANDS")), QStringLiteral("(.+)"))),
              listed(synopses.values()));

    const QSet<QString> statuses = usageExitStatuses(usage);
    EXPECT_TRUE(statuses.contains(QStringLiteral("130")));
    EXPECT_EQ(listed(manTags(manSection(page, QStringLiteral("EXIT STATUS")), QStringLiteral("\\.B (\\d+)$"))),
              listed(statuses));
}

TEST_F(PackageContents, MenuEntriesAndAppStreamDescriptionValidate) {
    for (const char* entry : {"k8w-prog", "k8w-prog-demo"}) {
        const QString desktop = path(QStringLiteral("usr/share/applications/%1.desktop").arg(entry));
        const Finished check = runProcess(QStringLiteral("desktop-file-validate"), {desktop});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();

        // What the entry starts and shows is installed.
        const QString text = fileText(desktop);
        const QString exec = QRegularExpression(QStringLiteral("^Exec=(\\S+)"), QRegularExpression::MultilineOption)
                                 .match(text).captured(1);
        const QString icon = QRegularExpression(QStringLiteral("^Icon=(\\S+)"), QRegularExpression::MultilineOption)
                                 .match(text).captured(1);
        EXPECT_EQ(exec, QStringLiteral("%1-launch").arg(entry));
        EXPECT_TRUE(QFileInfo(path("usr/bin/" + exec)).isExecutable()) << exec.toStdString();
        EXPECT_TRUE(QFileInfo(path("usr/share/icons/hicolor/scalable/apps/" + icon + ".svg")).isFile())
            << icon.toStdString();
    }
    // The component keeps the plain ID of its desktop entry: the project has
    // no domain of its own to build a reverse-DNS ID from.
    const Finished check = runProcess(QStringLiteral("appstreamcli"),
                          {QStringLiteral("validate"), QStringLiteral("--no-net"),
                           QStringLiteral("--override=cid-desktopapp-is-not-rdns=info"),
                           path("usr/share/metainfo/k8w-prog.metainfo.xml")});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
}

TEST_F(PackageContents, ChangelogAndAppStreamReleaseNameThisVersion) {
    const QString changelog = unzipped(path("usr/share/doc/k8w/changelog.Debian.gz"));
    const QString debianVersion =
        QRegularExpression(QStringLiteral("^k8w \\(([^)]+)\\) ")).match(changelog).captured(1);
    EXPECT_TRUE(debianVersion.startsWith(QStringLiteral(K8W_VERSION "-"))) << debianVersion.toStdString();
    const QString metainfo = fileText(path("usr/share/metainfo/k8w-prog.metainfo.xml"));
    EXPECT_EQ(QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(metainfo).captured(1),
              QStringLiteral(K8W_VERSION));
    if (!deb_.isEmpty()) {
        const QString packageVersion =
            runProcess(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb_, QStringLiteral("Version")}).out;
        EXPECT_EQ(packageVersion.trimmed(), debianVersion);
    }
}

// A launcher started from a folder of no importance makes the data folder,
// private to the user, and becomes the program there: the program holds the
// lock file of its database in that folder under the launcher's own process ID.
struct Launch {
    const char* launcher;
    const char* program;
    const char* folder;
};

void PrintTo(const Launch& launch, std::ostream* os) { *os << launch.launcher; }

class PackageLauncher : public PackageContents, public ::testing::WithParamInterface<Launch> {};

TEST_P(PackageLauncher, StartsTheProgramInTheUsersDataFolder) {
    const Launch& launch = GetParam();
    QTemporaryDir home, elsewhere;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(elsewhere.path());
    process.start(path(QStringLiteral("usr/bin/") + launch.launcher), {});
    ASSERT_TRUE(process.waitForStarted());

    const QString data = home.filePath(launch.folder);
    QFile lock(data + QStringLiteral("/ProgInfo_10.K8W.lock"));
    QStringList holder;
    for (int waited = 0; waited < 60000 && holder.size() < 2; waited += 100) {
        if (process.waitForFinished(100)) break;
        if (lock.open(QIODevice::ReadOnly)) {
            holder = QString::fromUtf8(lock.readAll()).split(QLatin1Char('\n'));
            lock.close();
        }
    }
    const qint64 pid = process.processId();
    process.kill();
    process.waitForFinished();
    // A launcher that did not become the program leaves it behind: end it too.
    if (holder.size() >= 2 && holder[0] != QString::number(pid) && holder[0].toLongLong() > 0)
        ::kill(static_cast<pid_t>(holder[0].toLongLong()), SIGKILL);

    ASSERT_GE(holder.size(), 2) << "no lock in " << data.toStdString() << ": "
                                << process.readAllStandardError().toStdString();
    EXPECT_EQ(holder[0].toStdString(), std::to_string(pid));
    EXPECT_EQ(holder[1].toStdString(), launch.program);
    EXPECT_EQ(QFileInfo(data).permissions().toInt() & 0x0077, 0);  // nothing for group or others
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Editions, PackageLauncher,
                         ::testing::Values(Launch{"k8w-prog-launch", "k8w-prog", "K8W"},
                                           Launch{"k8w-prog-demo-launch", "k8w-prog-demo", "K8W-demo"}),
                         [](const auto& info) { return std::string(info.param.program == std::string("k8w-prog") ? "Utility" : "Demo"); });

// The scripts that reload udev's rules end well where udev does not run or
// udevadm fails, as in a chroot: the package must still install and go.
TEST_F(PackageContents, MaintainerScriptsSucceedWithoutAWorkingUdev) {
    QTemporaryDir fakeBin;
    QFile udevadm(fakeBin.filePath(QStringLiteral("udevadm")));
    ASSERT_TRUE(udevadm.open(QIODevice::WriteOnly));
    udevadm.write("#!/bin/sh\nexit 1\n");
    udevadm.close();
    udevadm.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), fakeBin.path() + QStringLiteral(":/usr/bin:/bin"));

    const QStringList calls[] = {{"postinst", "configure"}, {"postrm", "remove"}, {"postrm", "purge"},
                                 {"postrm", "upgrade"}};
    for (const QStringList& call : calls) {
        const Finished script = runProcess(QStringLiteral("/bin/sh"), {scriptsDir_ + QLatin1Char('/') + call[0], call[1]}, env);
        EXPECT_EQ(script.exitCode, 0) << call.join(' ').toStdString() << ": " << script.err.toStdString();
    }
}

} // namespace
