// Backups of the card file: when they are made, how many are kept, and
// what a restore brings back.
#include "generated_cards.h"

#include "store/card_backup.h"
#include "store/card_file.h"
#include "store/card_restore.h"
#include "store/card_store.h"

#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

class CardBackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        setBackupClock([this] { return now; });
        setBackupFailureReporter([this](const QString& reason) { reported += reason; });
    }
    void TearDown() override {
        setBackupClock({});
        setBackupFailureReporter({});
    }
    // Every change of the file goes through the file store, which makes the backups.
    bool save() { return OpenCardStore(kCardFileName, CardFileAccess::PerChange, nullptr)->replaceAll(*table).ok(); }
    QStringList backupNames() const {
        QStringList names;
        for (const CardBackup& b : ListCardBackups(kCardFileName)) names += b.name;
        return names;
    }

    test::TempWorkdir dir;
    QDateTime now{QDate(2026, 3, 5), QTime(9, 0, 0)};
    QStringList reported;
    std::unique_ptr<CardTable> table = test::GeneratedCards(5);
};

TEST_F(CardBackupTest, TheFirstChangeOfEachDayIsPrecededByABackup) {
    ASSERT_TRUE(save());  // a new file: nothing to back up
    EXPECT_EQ(backupNames(), QStringList{});
    struct Step {
        QDateTime at;
        QStringList names;  // newest first, after the save
    };
    const QString f = kCardFileName;
    const Step steps[] = {
        {{QDate(2026, 3, 5), QTime(9, 30, 0)}, {f + "-20260305-093000.gz"}},
        {{QDate(2026, 3, 5), QTime(23, 59, 59)}, {f + "-20260305-093000.gz"}},
        {{QDate(2026, 3, 6), QTime(0, 0, 1)}, {f + "-20260306-000001.gz", f + "-20260305-093000.gz"}},
        {{QDate(2026, 3, 6), QTime(8, 0, 0)}, {f + "-20260306-000001.gz", f + "-20260305-093000.gz"}},
    };
    for (const Step& step : steps) {
        now = step.at;
        ASSERT_TRUE(save());
        EXPECT_EQ(backupNames(), step.names) << step.at.toString().toStdString();
    }
    EXPECT_EQ(reported, QStringList{});
}

TEST_F(CardBackupTest, TheNewest60AreKept) {
    ASSERT_TRUE(save());
    for (int i = 0; i < 65; ++i) {
        now = QDateTime(QDate(2026, 1, 1).addDays(i / 3), QTime(10, 0, 0));  // three in one second each day
        ASSERT_EQ(BackupCardFile(kCardFileName, BackupWhen::Always), QString());
    }
    const std::vector<CardBackup> kept = ListCardBackups(kCardFileName);
    ASSERT_EQ(kept.size(), 60u);
    EXPECT_EQ(kept.front().name, kCardFileName + "-20260122-100000-2.gz");  // the 65th
    EXPECT_EQ(kept.back().name, kCardFileName + "-20260102-100000-3.gz");   // the 6th
    EXPECT_EQ(QDir(CardBackupFolder(kCardFileName)).entryList(QDir::Files).size(), 60);
}

TEST_F(CardBackupTest, ABackupHoldsTheFileAsItWasBeforeTheChange) {
    ASSERT_TRUE(save());
    const auto before = std::make_unique<CardTable>(*table);
    table->cards[0] = Card{};
    now = now.addDays(1);
    ASSERT_TRUE(save());
    auto restored = CardTable::create();
    ASSERT_EQ(LoadCardBackup(ListCardBackups(kCardFileName).front().path, *restored), QString());
    EXPECT_EQ(std::memcmp(restored.get(), before.get(), sizeof(CardTable)), 0);
}

TEST_F(CardBackupTest, AFailedBackupDoesNotStopTheChangeAndIsReported) {
    ASSERT_TRUE(save());
    QFile blocker(CardBackupFolder(kCardFileName));  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    table->cards[0] = Card{};
    ASSERT_TRUE(save());
    auto loaded = CardTable::create();
    ASSERT_TRUE(LoadCardFile(kCardFileName, loaded->cards.data(), kCardCapacity, loaded->cardTemplate));
    EXPECT_FALSE(isCardInUse(loaded->cards[0]));
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].startsWith(QStringLiteral("no backup was made before the change: cannot create the backup folder")))
        << reported[0].toStdString();
}

TEST_F(CardBackupTest, RestoreBringsBackTheListedRowsOrTheWholeBase) {
    ASSERT_TRUE(save());
    const auto original = std::make_unique<CardTable>(*table);
    ASSERT_EQ(BackupCardFile(kCardFileName, BackupWhen::Always), QString());
    const QString backup = ListCardBackups(kCardFileName).front().path;
    // Two cards deleted, one changed.
    const int deleted[] = {0, 2249};
    for (const int slot : deleted) table->cards[static_cast<std::size_t>(slot)] = Card{};
    table->cards[4499].codeUoo = 17;
    now = now.addSecs(60);
    ASSERT_TRUE(save());

    const std::vector<int> rows = {0, 2249};
    now = now.addSecs(60);
    ASSERT_EQ(RestoreCardFile(kCardFileName, backup, &rows, 0).status, CardUpdateStatus::Saved);
    auto loaded = CardTable::create();
    ASSERT_TRUE(LoadCardFile(kCardFileName, loaded->cards.data(), kCardCapacity, loaded->cardTemplate));
    for (const int slot : deleted)
        EXPECT_EQ(std::memcmp(&loaded->cards[static_cast<std::size_t>(slot)], &original->cards[static_cast<std::size_t>(slot)], sizeof(Card)), 0);
    EXPECT_EQ(+loaded->cards[4499].codeUoo, 17u);  // not listed: stays
    EXPECT_EQ(ListCardBackups(kCardFileName).size(), 2u);  // the restore backed the file up first

    ASSERT_TRUE(QFile::remove(kCardFileName));  // the disk lost it
    ASSERT_EQ(RestoreCardFile(kCardFileName, backup, nullptr, 0).status, CardUpdateStatus::Saved);
    ASSERT_TRUE(LoadCardFile(kCardFileName, loaded->cards.data(), kCardCapacity, loaded->cardTemplate));
    EXPECT_EQ(std::memcmp(loaded.get(), original.get(), sizeof(CardTable)), 0);
}

// The file store backs the file up before the day's first change, and before
// every deletion, import and restore whatever the hour.
TEST_F(CardBackupTest, TheFileStoreBacksUpBeforeTheChangesThatNeedIt) {
    ASSERT_TRUE(save());
    auto store = OpenCardStore(kCardFileName, CardFileAccess::PerChange, nullptr);
    const auto edit = [](Card& card) {
        ++card.codeUoo;
        return QString();
    };
    struct Step {
        const char* what;
        std::function<CardStoreResult()> change;
        bool backedUp;
    };
    const Step steps[] = {
        {"first change of the day", [&] { return store->updateCard(0, edit, QStringLiteral("save")); }, true},
        {"second change that day", [&] { return store->saveCard(1, table->cards[2], 0); }, false},
        {"deletion", [&] { return store->deleteCard(1, 0); }, true},
        {"import", [&] { return store->updateAll([&](CardTable& t) { return edit(t.cards[3]); }, QStringLiteral("import")); },
         true},
        {"restore", [&] { return store->restoreBackup(ListCardBackups(kCardFileName).back().path, nullptr); }, true},
    };
    now = now.addDays(1);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        now = now.addSecs(60);
        const std::size_t before = ListCardBackups(kCardFileName).size();
        const CardStoreResult result = step.change();
        ASSERT_TRUE(result.ok()) << result.reason.toStdString();
        EXPECT_EQ(ListCardBackups(kCardFileName).size(), before + (step.backedUp ? 1 : 0));
    }
    EXPECT_EQ(reported, QStringList{});
}

} // namespace
} // namespace k8w
