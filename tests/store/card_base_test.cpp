// One writer at a time, honest saves, and paths that are not database files.
#include "store/card_base.h"
#include "store/card_file.h"
#include "cards/card_table.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"
#include "support/watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace k8w {
namespace {

using test::RecordingMessageBoxes;
using test::TempWorkdir;

QByteArray readFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a save leaves beside the database, apart from its backup folder.
QStringList folderEntries() {
    QStringList entries = QDir::current().entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot,
                                                    QDir::Name);
    entries.removeOne(QStringLiteral("backup"));
    return entries;
}

class CardBaseTest : public ::testing::Test {
protected:
    TempWorkdir dir;
    RecordingMessageBoxes boxes;
    std::unique_ptr<CardTable> table = CardTable::create();

    void SetUp() override {
        table->cards[0].codeUoo = 100;
        table->cards[0].changeDate = 46000.0;
        table->cards[1].codeUoo = 200;
        table->cards[1].changeDate = 46000.0;
        ASSERT_TRUE(save());
    }
    void TearDown() override { setCardSaveHook({}); }
    bool save() { return SaveCardTable(*table, kCardFileName); }
    std::unique_ptr<CardTable> loaded() {
        auto fresh = CardTable::create();
        EXPECT_TRUE(LoadCardTable(*fresh, kCardFileName));
        return fresh;
    }
};

TEST_F(CardBaseTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    CardBaseLock first(kCardFileName);
    ASSERT_EQ(first.acquire(0), CardBaseLock::Result::Held);
    EXPECT_TRUE(QFileInfo::exists(kCardFileName + QStringLiteral(".lock")));

    CardBaseLock second(QStringLiteral("./") + kCardFileName);  // another name of the same file
    EXPECT_EQ(second.acquire(0), CardBaseLock::Result::HeldByOther);
    EXPECT_TRUE(second.holderText().contains(QString::number(::getpid()))) << second.holderText().toStdString();
    EXPECT_FALSE(second.heldByWindow());

    first.release();
    EXPECT_EQ(second.acquire(0), CardBaseLock::Result::Held);
}

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

TEST_F(CardBaseTest, UpdateChangesTheFreshFileNotAnOldCopy) {
    // Another writer recorded its result after this one read the file.
    auto other = loaded();
    other->cards[1].progId = 0xBEEF;
    ASSERT_TRUE(SaveCardTable(*other, kCardFileName));

    const CardUpdateResult result = UpdateCardFile(kCardFileName, [](CardTable& fresh) {
        fresh.cards[0].progId = 0x1234;
        return QString();
    });
    EXPECT_EQ(result.status, CardUpdateStatus::Saved) << result.reason.toStdString();
    const auto after = loaded();
    EXPECT_EQ(+after->cards[0].progId, 0x1234);
    EXPECT_EQ(+after->cards[1].progId, 0xBEEF);
    EXPECT_FALSE(QFileInfo::exists(kCardFileName + QStringLiteral(".lock")));  // held only for the update
}

TEST_F(CardBaseTest, UpdateThatCannotGoAheadWritesNothing) {
    const QByteArray before = readFile(kCardFileName);
    const auto touch = [](CardTable& fresh) {
        fresh.cards[0].progId = 1;
        return QString();
    };

    EXPECT_EQ(UpdateCardFile(kCardFileName, [](CardTable&) { return QStringLiteral("no"); }).status,
              CardUpdateStatus::Refused);
    {
        CardBaseLock window(kCardFileName);
        ASSERT_EQ(window.acquire(0), CardBaseLock::Result::Held);
        const CardUpdateResult locked = UpdateCardFile(kCardFileName, touch, 0);
        EXPECT_EQ(locked.status, CardUpdateStatus::Locked);
        EXPECT_TRUE(locked.reason.contains(QString::number(::getpid())));
    }
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::Sync; });
    EXPECT_EQ(UpdateCardFile(kCardFileName, touch).status, CardUpdateStatus::SaveFailed);
    setCardSaveHook({});
    EXPECT_EQ(readFile(kCardFileName), before);

    EXPECT_EQ(UpdateCardFile(QStringLiteral("missing.K8W"), touch).status, CardUpdateStatus::Unreadable);
}

// A save whose sync, rename or folder sync fails says so; until the rename
// the old file is whole, and no temporary file is left.
TEST_F(CardBaseTest, FailedSyncOrRenameFailsTheSaveAndKeepsTheOldFile) {
    const QByteArray before = readFile(kCardFileName);
    table->cards[0].codeUoo = 999;
    for (const CardSaveStep failing : {CardSaveStep::Sync, CardSaveStep::Rename}) {
        setCardSaveHook([failing](CardSaveStep step, qint64) { return step != failing; });
        EXPECT_FALSE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
        EXPECT_TRUE(boxes.shown().empty());  // the window words the failure
        EXPECT_EQ(readFile(kCardFileName), before);
        EXPECT_EQ(folderEntries(), QStringList{kCardFileName});
    }
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::SyncFolder; });
    EXPECT_FALSE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
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

TEST_F(CardBaseTest, WritableCheckNeedsRoomForAFullCopyAndLeavesNothing) {
    EXPECT_EQ(CheckCardFileWritable(kCardFileName), QString());
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::Reserve; });
    EXPECT_TRUE(CheckCardFileWritable(kCardFileName).contains(QStringLiteral("no room")));
    EXPECT_EQ(folderEntries(), QStringList{kCardFileName});
}

} // namespace
} // namespace k8w
