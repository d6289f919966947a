// k8w-cli export, import, decode, backups and restore as processes.
#include "cli_process.h"
#include "generated_cards.h"

#include "store/card_backup.h"
#include "store/card_file.h"
#include "cards/card_table.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "support/temp_workdir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

using test::runCli;

using test::fileBytes;

bool writeBytes(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

std::unique_ptr<CardTable> readBase(const QString& name) {
    auto table = CardTable::create();
    EXPECT_TRUE(LoadCardFile(name, table->cards.data(), kCardCapacity, table->cardTemplate));
    return table;
}

class CliTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    }
    test::TempWorkdir dir;
    std::unique_ptr<CardTable> table = test::GeneratedCards(30);
};

TEST_F(CliTransfer, ExportIntoAnotherComputersEmptyBaseGivesTheSameCards) {
    const auto exported = runCli({QStringLiteral("export"), QStringLiteral("--out"), QStringLiteral("cards.json")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const auto imported = runCli({QStringLiteral("import"), QStringLiteral("cards.json"), QStringLiteral("--template"),
                                  QStringLiteral("--db"), QStringLiteral("new.K8W")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("30 cards changed, 0 unchanged, the new-card template renewed\n"));
    const auto copy = readBase(QStringLiteral("new.K8W"));
    for (int slot = 0; slot < kCardCapacity; ++slot) {
        Card a = table->cards[static_cast<std::size_t>(slot)];
        Card b = copy->cards[static_cast<std::size_t>(slot)];
        EXPECT_EQ(isCardInUse(a), isCardInUse(b));
        a.changeDate = b.changeDate = 0;
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "slot " << slot;
    }
}

TEST_F(CliTransfer, ImportOfAnUntouchedExportChangesNoCard) {
    // A key registered at a time with milliseconds, as the window keeps it; export writes whole seconds.
    KeyEntry* key = &table->cards[0].keys[0][0];
    while (key->state != 1) ++key;
    key->entryDate = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9, 456)));
    ASSERT_TRUE(WriteCardFile(kCardFileName, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    const QByteArray before = fileBytes(kCardFileName);
    ASSERT_EQ(runCli({QStringLiteral("export"), QStringLiteral("--out"), QStringLiteral("cards.json")}).exitCode, 0);
    const auto run = runCli({QStringLiteral("import"), QStringLiteral("cards.json")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("0 cards changed, 30 unchanged\n"));
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliTransfer, ARefusedImportNamesEveryRowAndWritesNothing) {
    ASSERT_TRUE(writeBytes(QStringLiteral("bad.json"),
                           R"([{"row": 1, "portParams": ""}, {"row": 9000, "pin1": "12345"}, {"row": 5, "apn1": "x"}])"));
    const QByteArray before = fileBytes(kCardFileName);
    for (const QString& mode : {QStringLiteral("--dry-run"), QString()}) {
        QStringList args{QStringLiteral("import"), QStringLiteral("bad.json")};
        if (!mode.isEmpty()) args += mode;
        const auto run = runCli(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("row 9000: pin1: a text of at most 4 characters is expected\n")))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("row 1: Неверные значения порта сервера параметров.\n"))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("row 5: Заполните ВСЕ необходимые поля перед сохранением!\\n")));
        EXPECT_EQ(fileBytes(kCardFileName), before);
    }
    EXPECT_TRUE(ListCardBackups(kCardFileName).empty());
}

TEST_F(CliTransfer, ImportChangesJustTheGivenMemberAndIsRefusedWhileTheWindowHoldsTheBase) {
    ASSERT_TRUE(writeBytes(QStringLiteral("apn.json"), R"([{"row": 1, "apn1": "internet.new"}])"));
    QProcess window;
    ASSERT_TRUE(test::startWindowProgram(window, kCardFileName + QStringLiteral(".lock")));
    const QByteArray before = fileBytes(kCardFileName);
    const auto refused = runCli({QStringLiteral("import"), QStringLiteral("apn.json")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("k8w-prog"))) << refused.err.toStdString();
    EXPECT_EQ(fileBytes(kCardFileName), before);
    window.kill();
    window.waitForFinished();

    const auto run = runCli({QStringLiteral("import"), QStringLiteral("apn.json")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("1 card changed, 0 unchanged\n"));
    const auto after = readBase(kCardFileName);
    Card expected = table->cards[0];
    setFieldText(expected.apn1, QStringLiteral("internet.new"));
    expected.changeDate = after->cards[0].changeDate;
    EXPECT_GT(+expected.changeDate, +table->cards[0].changeDate);
    EXPECT_EQ(std::memcmp(&after->cards[0], &expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(&after->cards[8999], &table->cards[8999], sizeof(Card)), 0);  // untouched
}

TEST_F(CliTransfer, CsvAndRowListsOfExport) {
    const auto run = runCli({QStringLiteral("export"), QStringLiteral("--rows"), QStringLiteral("1,2-9000"),
                             QStringLiteral("--format"), QStringLiteral("csv")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("row;codeUoo;")));  // after the byte-order mark
    EXPECT_EQ(run.out.count(QStringLiteral("\r\n")), 31);
    EXPECT_EQ(runCli({QStringLiteral("export"), QStringLiteral("--rows"), QStringLiteral("0")}).exitCode, 2);
    EXPECT_EQ(runCli({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("xml")}).exitCode, 2);
}

TEST_F(CliTransfer, DecodeShowsADeviceImageAndRefusesADamagedOne) {
    const auto image = runCli({QStringLiteral("image"), QStringLiteral("--row"), QStringLiteral("1"),
                               QStringLiteral("--out"), QStringLiteral("dev.img")});
    ASSERT_EQ(image.exitCode, 0) << image.err.toStdString();
    const auto run = runCli({QStringLiteral("decode"), QStringLiteral("--image"), QStringLiteral("dev.img")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject decoded = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(decoded.value(QStringLiteral("cardNumber")).toString(), fieldText(table->cards[0].cardNumber));
    EXPECT_EQ(decoded.value(QStringLiteral("apn2")).toString(), fieldText(table->cards[0].apn2));
    EXPECT_EQ(decoded.value(QStringLiteral("checksum")).toString() + QLatin1Char('\n'), image.out);
    EXPECT_EQ(decoded.value(QStringLiteral("keys")).toArray().size(), 24);
    EXPECT_FALSE(decoded.contains(QStringLiteral("objectName")));  // the device does not hold it

    QByteArray damaged = fileBytes(QStringLiteral("dev.img"));
    damaged[100] = static_cast<char>(damaged[100] ^ 1);
    ASSERT_TRUE(writeBytes(QStringLiteral("bad.img"), damaged));
    const auto bad = runCli({QStringLiteral("decode"), QStringLiteral("--image"), QStringLiteral("bad.img")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, QStringLiteral("bad.img fails its checksum; it is not an intact device image\n"));
    ASSERT_TRUE(writeBytes(QStringLiteral("short.img"), damaged.left(584)));
    EXPECT_EQ(runCli({QStringLiteral("decode"), QStringLiteral("--image"), QStringLiteral("short.img")}).err,
              QStringLiteral("short.img holds 584 bytes; a device image has 585\n"));
}

TEST_F(CliTransfer, BackupsAreListedAndARowIsRestored) {
    ASSERT_TRUE(writeBytes(QStringLiteral("apn.json"), R"([{"row": 1, "apn1": "internet.new"}])"));
    ASSERT_EQ(runCli({QStringLiteral("import"), QStringLiteral("apn.json")}).exitCode, 0);
    const auto list = runCli({QStringLiteral("backups")});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QStringList fields = list.out.trimmed().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3) << list.out.toStdString();
    EXPECT_TRUE(fields[0].startsWith(kCardFileName + QLatin1Char('-')));
    EXPECT_EQ(fields[2], QStringLiteral("30"));

    const auto restored = runCli({QStringLiteral("restore"), QStringLiteral("--from"), fields[0],
                                  QStringLiteral("--rows"), QStringLiteral("1")});
    ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
    EXPECT_EQ(std::memcmp(&readBase(kCardFileName)->cards[0], &table->cards[0], sizeof(Card)), 0);
    EXPECT_EQ(runCli({QStringLiteral("backups")}).out.count(QLatin1Char('\n')), 2);  // the restore backed up first
    EXPECT_EQ(runCli({QStringLiteral("restore"), QStringLiteral("--from"), QStringLiteral("nothing.gz")}).exitCode, 2);
}

} // namespace
} // namespace k8w
