#include "card_file_fixture.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace k8w {
namespace {

TEST_F(CardFileTest, MissingFileLeavesTableAndTemplateAlone) {
    table->cardTemplate.timePass = 9;
    EXPECT_FALSE(load());
    EXPECT_EQ(outcome, CardLoadOutcome::Missing);
    EXPECT_EQ(table->cardTemplate.timePass, 9);
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(CardFileTest, RejectsEmptyAndMisSizedFilesSilently) {
    for (const int size : {0, 1311, 1309, 2 * 1310 + 1}) {
        writeFile(kCardFileName, QByteArray(size, '\x01'));
        EXPECT_FALSE(load()) << size;
        EXPECT_EQ(outcome, CardLoadOutcome::Rejected) << size;
        EXPECT_EQ(slotsInUse(), 0) << size;
        EXPECT_EQ(+table->cardTemplate.codeUoo, 0u) << size;
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(CardFileTest, SingleRecordIsTheTemplateOnly) {
    writeFile(kCardFileName, records(1, 77));
    EXPECT_TRUE(load());
    EXPECT_EQ(slotsInUse(), 0);
    EXPECT_EQ(+table->cardTemplate.codeUoo, 1077u);
}

TEST_F(CardFileTest, FiveCardsFillTheFirstSlotsAndTheNextSaveWritesEveryRecord) {
    writeFile(kCardFileName, records(6));
    EXPECT_TRUE(load());
    EXPECT_EQ(outcome, CardLoadOutcome::Loaded);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(+table->cards[i].codeUoo, 1000u + i);
    EXPECT_EQ(slotsInUse(), 5);
    EXPECT_EQ(+table->cardTemplate.codeUoo, 1005u);

    EXPECT_TRUE(save());
    EXPECT_EQ(QFileInfo(kCardFileName).size(), 11'791'310);
    const QByteArray bytes = readFile(kCardFileName);
    EXPECT_EQ(bytes.left(5 * 1310), records(5));
    EXPECT_EQ(bytes.mid(5 * 1310, 8995 * 1310), QByteArray(8995 * 1310, '\0'));
    EXPECT_EQ(bytes.right(1310), records(1, 5));
}

TEST_F(CardFileTest, ExtraRecordsPastNineThousandAreIgnored) {
    writeFile(kCardFileName, records(9002));
    EXPECT_TRUE(load());
    EXPECT_EQ(+table->cards[0].codeUoo, 1000u);
    EXPECT_EQ(+table->cards[8999].codeUoo, 1000u + 8999);
    EXPECT_EQ(+table->cardTemplate.codeUoo, 1000u + 9000);  // record 9001
}

TEST_F(CardFileTest, SaveAndLoadRoundTripEveryByte) {
    for (int i = 0; i < kCardCapacity; i += 97) table->cards[i] = numberedCard(i);
    table->cards[3].keys[1][2].state = 1;
    table->cardTemplate = numberedCard(5);
    ASSERT_TRUE(save());

    auto copy = CardTable::create();
    ASSERT_TRUE(LoadCardFile(kCardFileName, copy->cards.data(), kCardCapacity, copy->cardTemplate));
    EXPECT_EQ(std::memcmp(copy.get(), table.get(), sizeof(CardTable)), 0);
}

TEST_F(CardFileTest, DeletedSlotReadsBackAsZeroBytes) {
    table->cards[4] = numberedCard(4);
    ASSERT_TRUE(save());
    table->cards[4] = Card{};
    ASSERT_TRUE(save());
    EXPECT_EQ(readFile(kCardFileName).mid(4 * 1310, 1310), QByteArray(1310, '\0'));
    ASSERT_TRUE(load());
    EXPECT_FALSE(isCardInUse(table->cards[4]));
}

// A device that announces more bytes than it delivers: a short read.
class ShortReadDevice final : public QBuffer {
public:
    ShortReadDevice(QByteArray* data, qint64 announced) : QBuffer(data), announced_(announced) {}
    qint64 size() const override { return announced_; }

private:
    qint64 announced_;
};

TEST_F(CardFileTest, ShortReadKeepsCompleteSlotsAndLeavesTheRestEmpty) {
    QByteArray data = records(3) + QByteArray(700, '\x05');  // slot 3 arrives half
    ShortReadDevice device(&data, 6 * 1310);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    table->cardTemplate.timePass = 4;
    EXPECT_EQ(LoadCardDevice(device, table->cards.data(), kCardCapacity, table->cardTemplate),
              CardLoadOutcome::PartlyRead);
    EXPECT_EQ(slotsInUse(), 3);
    EXPECT_EQ(+table->cards[3].codeUoo, 0u);
    EXPECT_EQ(table->cardTemplate.timePass, 4);
}

TEST_F(CardFileTest, FailedSaveKeepsTheOldFileAndSaysSo) {
    table->cards[0] = numberedCard(0);
    ASSERT_TRUE(save());
    const QByteArray before = readFile(kCardFileName);

    table->cards[0] = numberedCard(1);
    setCardSaveHook([](CardSaveStep, qint64 written) { return written < 5'000'000; });  // disk full midway
    EXPECT_FALSE(save());
    setCardSaveHook({});

    // The writer says why and shows nothing: the window words it.
    EXPECT_TRUE(saveError.startsWith(QStringLiteral("cannot write ") + kCardFileName)) << saveError.toStdString();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(readFile(kCardFileName), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{kCardFileName});  // no leftovers
    EXPECT_EQ(+table->cards[0].codeUoo, 1001u);  // memory untouched
}

TEST_F(CardFileTest, SaveIntoAMissingDirectoryFailsWithTheReason) {
    const QString why = WriteCardFile(dir.file(QStringLiteral("no/such/dir/") + kCardFileName), table->cards.data(),
                                      kCardCapacity, table->cardTemplate);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(CardFileTest, RejectedFileIsSetAsideUnderAFreshNameEachTime) {
    const QByteArray broken(1311, '\x02');
    writeFile(kCardFileName, broken);
    ASSERT_FALSE(load());
    const QString first = SetAsideCardFile(kCardFileName);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(first.startsWith(kCardFileName + QStringLiteral(".bad-")));
    EXPECT_FALSE(QFileInfo::exists(kCardFileName));
    EXPECT_EQ(readFile(first), broken);

    // A second rejected file in the same second must not overwrite the first copy.
    writeFile(kCardFileName, QByteArray(5, '\x03'));
    const QString second = SetAsideCardFile(kCardFileName);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(second, first);
    EXPECT_EQ(readFile(first), broken);
    EXPECT_EQ(readFile(second), QByteArray(5, '\x03'));

    // The next save then creates a new database without touching the copies.
    ASSERT_TRUE(save());
    EXPECT_EQ(QFileInfo(kCardFileName).size(), 11'791'310);
    EXPECT_EQ(readFile(first), broken);
}

} // namespace
} // namespace k8w

namespace k8w {
namespace {

TEST_F(CardFileTest, StartupLoadSetsAsideAPartlyReadOrRejectedFileButNotAGoodOne) {
    writeFile(kCardFileName, records(3));
    QString setAside;
    EXPECT_TRUE(LoadCardTable(*table, kCardFileName, &setAside));
    EXPECT_TRUE(setAside.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(kCardFileName));

    writeFile(kCardFileName, QByteArray(1310 * 2 + 3, '\x01'));
    EXPECT_FALSE(LoadCardTable(*table, kCardFileName, &setAside));
    EXPECT_FALSE(setAside.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(kCardFileName));
    EXPECT_TRUE(boxes.shown().isEmpty());

    QFile::remove(setAside);
    setAside.clear();
    EXPECT_FALSE(LoadCardTable(*table, kCardFileName, &setAside));  // missing: nothing to set aside
    EXPECT_TRUE(setAside.isEmpty());
}

} // namespace
} // namespace k8w
