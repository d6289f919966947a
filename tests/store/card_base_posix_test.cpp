// The card base on POSIX: a lock left by a process that died, the file's
// mode kept, pipes, devices and links.
#include "card_base_fixture.h"
#include "support/watchdog.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace k8w {
namespace {

TEST_F(CardBaseTest, LockLeftByADeadProcessIsTakenOver) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CardBaseLock lock(kCardFileName);
        _exit(lock.acquire(0) == CardBaseLock::Result::Held ? 0 : 1);  // dies holding it
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(QFileInfo::exists(kCardFileName + QStringLiteral(".lock")));

    CardBaseLock lock(kCardFileName);
    EXPECT_EQ(lock.acquire(0), CardBaseLock::Result::Held);
}

TEST_F(CardBaseTest, RewriteKeepsTheModeAndRemovesOnlyItsOwnStaleTemporaries) {
    ASSERT_EQ(::chmod(QFile::encodeName(kCardFileName).constData(), 0640), 0);
    const QStringList others = {kCardFileName + QStringLiteral(".save-keep"),  // not of the save's naming
                                kCardFileName + QStringLiteral(".save-abc12"),
                                QStringLiteral("Other.K8W.save-abc123"), kCardFileName + QStringLiteral(".bak")};
    for (const QString& name : others + QStringList{kCardFileName + QStringLiteral(".save-Ab3xY9")}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(save());
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(kCardFileName).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    QStringList expected = others + QStringList{kCardFileName};
    expected.sort();
    EXPECT_EQ(folderEntries(), expected);
}

TEST_F(CardBaseTest, PathsThatAreNotRegularFilesAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo("pipe.K8W", 0600), 0);
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("folder.K8W")));
    ASSERT_TRUE(QFile::link(QStringLiteral("nowhere.K8W"), QStringLiteral("dangling.K8W")));
    for (const char* name : {"pipe.K8W", "folder.K8W", "dangling.K8W", "/dev/null"}) {
        const QString path = QString::fromLatin1(name);
        CardLoadOutcome outcome = CardLoadOutcome::Loaded;
        QString setAside;
        QString checked;
        QString written;
        // Opening the pipe for reading or writing would wait for its other
        // end: a step that does so is freed by the watchdog and fails the test.
        const bool ended = test::endsBeforeTheWatchdog(
            [&] {
                LoadCardFile(path, table->cards.data(), kCardCapacity, table->cardTemplate, &outcome);
                LoadCardTable(*table, path, &setAside);
                checked = CheckCardFileWritable(path);
                if (path != QStringLiteral("/dev/null"))
                    written = WriteCardFile(path, table->cards.data(), kCardCapacity, table->cardTemplate);
            },
            [] {
                for (int flags : {O_WRONLY | O_NONBLOCK, O_RDONLY | O_NONBLOCK}) {
                    const int fd = ::open("pipe.K8W", flags);
                    if (fd >= 0) ::close(fd);
                }
            });
        EXPECT_TRUE(ended) << name;
        EXPECT_EQ(outcome, CardLoadOutcome::NotAFile) << name;
        EXPECT_TRUE(setAside.isEmpty()) << name;  // only a refused regular file is set aside
        EXPECT_FALSE(checked.isEmpty()) << name;
        if (path != QStringLiteral("/dev/null")) {
            EXPECT_FALSE(written.isEmpty()) << name;
        }
    }
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("pipe.K8W")));
    EXPECT_TRUE(QFileInfo(QStringLiteral("folder.K8W")).isDir());
}

TEST_F(CardBaseTest, SaveThroughALinkRewritesItsTarget) {
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("data")));
    ASSERT_TRUE(QFile::rename(kCardFileName, QStringLiteral("data/base.K8W")));
    ASSERT_TRUE(QFile::link(QStringLiteral("data/base.K8W"), kCardFileName));
    table->cards[0].codeUoo = 321;
    ASSERT_TRUE(save());
    EXPECT_TRUE(QFileInfo(kCardFileName).isSymLink());
    EXPECT_EQ(+loaded()->cards[0].codeUoo, 321u);
}

} // namespace
} // namespace k8w
