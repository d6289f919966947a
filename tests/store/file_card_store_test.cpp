// The database file behind the card store: the same bytes as the file's own
// save, whether the window holds the lock or a command updates it.
#include "store/card_file.h"
#include "store/card_store.h"
#include "cards/card_table.h"
#include "support/temp_workdir.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>

namespace k8w {
namespace {

using test::fileBytes;

TEST(FileCardStore, EveryChangeWritesWhatTheFileSaveWrites) {
    for (const CardFileAccess access : {CardFileAccess::Held, CardFileAccess::PerChange}) {
        test::TempWorkdir dir;
        auto expected = CardTable::create();
        expected->cards[2].codeUoo = 9;
        expected->cards[2].changeDate = 45000;
        ASSERT_TRUE(WriteCardFile(QStringLiteral("start.K8W"), expected->cards.data(), kCardCapacity,
                                 expected->cardTemplate).isEmpty());
        ASSERT_TRUE(QFile::copy(QStringLiteral("start.K8W"), kCardFileName));
        QString error;
        auto store = OpenCardStore(kCardFileName, access, &error);
        ASSERT_TRUE(store);
        EXPECT_FALSE(store->keepsHistory());
        auto table = CardTable::create();
        std::vector<CardRevision> revisions;
        ASSERT_TRUE(store->loadAll(*table, revisions).ok());
        EXPECT_EQ(+table->cards[2].codeUoo, 9u);

        Card card{};
        card.codeUoo = 5;
        card.changeDate = 45001;
        Card tmpl{};
        tmpl.timePass = 7;
        const KeyEntry key{1, 3, {1, 2, 3, 4, 5, 6}, 45002};
        ASSERT_TRUE(store->saveCard(0, card, revisions[0], &tmpl).ok());
        ASSERT_TRUE(store->setKey(0, 1, 4, key, revisions[0]).ok());
        ASSERT_TRUE(store->recordProgramming(0, 0xBEEF, 45003).ok());
        ASSERT_TRUE(store->deleteCard(2, revisions[2]).ok());
        expected->cards[0] = card;
        expected->cards[0].keys[1][4] = key;
        expected->cards[0].progDate = 45003;
        expected->cards[0].progId = 0xBEEF;
        expected->cardTemplate = tmpl;
        std::memset(static_cast<void*>(&expected->cards[2]), 0, sizeof(Card));
        ASSERT_TRUE(WriteCardFile(QStringLiteral("expected.K8W"), expected->cards.data(), kCardCapacity,
                                 expected->cardTemplate).isEmpty());
        EXPECT_EQ(fileBytes(kCardFileName), fileBytes(QStringLiteral("expected.K8W")));
        EXPECT_EQ(store->restore(0, 1).status, CardStoreStatus::NoHistory);
    }
}

TEST(FileCardStore, ACommandsChangeRefusedWritesNothing) {
    test::TempWorkdir dir;
    auto table = CardTable::create();
    ASSERT_TRUE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    const QByteArray before = fileBytes(kCardFileName);
    QString error;
    auto store = OpenCardStore(kCardFileName, CardFileAccess::PerChange, &error);
    ASSERT_TRUE(store);
    // No card in use in slot 4: there is no result to record.
    const CardStoreResult result = store->recordProgramming(4, 1, 45000);
    EXPECT_EQ(result.status, CardStoreStatus::Refused);
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST(FileCardStore, ACommandsImportMakesAMissingFile) {
    test::TempWorkdir dir;
    QString error;
    auto store = OpenCardStore(kCardFileName, CardFileAccess::PerChange, &error);
    ASSERT_TRUE(store);
    auto expected = CardTable::create();
    expected->cards[7].codeUoo = 12;
    const CardStoreResult result = store->updateAll(
        [&](CardTable& table) {
            table.cards[7] = expected->cards[7];
            return QString();
        },
        QStringLiteral("import"));
    ASSERT_TRUE(result.ok()) << result.reason.toStdString();
    ASSERT_TRUE(WriteCardFile(QStringLiteral("expected.K8W"), expected->cards.data(), kCardCapacity,
                             expected->cardTemplate).isEmpty());
    EXPECT_EQ(fileBytes(kCardFileName), fileBytes(QStringLiteral("expected.K8W")));
    EXPECT_FALSE(QFile::exists(kCardFileName + QStringLiteral(".lock")));
}

TEST(FileCardStore, ARestoreFromABackupThatIsNotThereIsNotFound) {
    test::TempWorkdir dir;
    auto table = CardTable::create();
    ASSERT_TRUE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    QString error;
    auto store = OpenCardStore(kCardFileName, CardFileAccess::PerChange, &error);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->restoreBackup(QStringLiteral("nothing.gz"), nullptr).status, CardStoreStatus::NotFound);
}

} // namespace
} // namespace k8w
