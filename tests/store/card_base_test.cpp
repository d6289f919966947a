// One writer at a time, honest saves, and paths that are not database files.
#include "card_base_fixture.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace k8w {
namespace {

TEST_F(CardBaseTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    CardBaseLock first(kCardFileName);
    ASSERT_EQ(first.acquire(0), CardBaseLock::Result::Held);
    EXPECT_TRUE(QFileInfo::exists(kCardFileName + QStringLiteral(".lock")));

    CardBaseLock second(QStringLiteral("./") + kCardFileName);  // another name of the same file
    EXPECT_EQ(second.acquire(0), CardBaseLock::Result::HeldByOther);
    EXPECT_TRUE(second.holderText().contains(QString::number(QCoreApplication::applicationPid()))) << second.holderText().toStdString();
    EXPECT_FALSE(second.heldByWindow());

    first.release();
    EXPECT_EQ(second.acquire(0), CardBaseLock::Result::Held);
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
        EXPECT_TRUE(locked.reason.contains(QString::number(QCoreApplication::applicationPid())));
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

TEST_F(CardBaseTest, WritableCheckNeedsRoomForAFullCopyAndLeavesNothing) {
    EXPECT_EQ(CheckCardFileWritable(kCardFileName), QString());
    setCardSaveHook([](CardSaveStep step, qint64) { return step != CardSaveStep::Reserve; });
    EXPECT_TRUE(CheckCardFileWritable(kCardFileName).contains(QStringLiteral("no room")));
    EXPECT_EQ(folderEntries(), QStringList{kCardFileName});
}

} // namespace
} // namespace k8w
