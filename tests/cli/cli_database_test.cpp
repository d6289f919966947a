#include "cli_process.h"

#include "store/card_file.h"
#include "cards/card_table.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "support/temp_workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace k8w {
namespace {

using test::runCli;

using test::fileBytes;

class CliDatabase : public ::testing::Test {
protected:
    test::TempWorkdir dir;
    std::unique_ptr<CardTable> table = CardTable::create();
    const double changed = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
    const double programmed = toDayDate(QDateTime(QDate(2026, 4, 1), QTime(8, 0, 0)));

    void SetUp() override {
        Card& a = table->cards[0];
        a.codeUoo = 4000000000u;  // printed unsigned
        setFieldText(a.cardNumber, QStringLiteral("12"));
        setFieldText(a.objectName, QStringLiteral("Склад №3"));
        a.changeDate = changed;
        a.keys[0][1].keyCode[0] = 0x42;

        Card& b = table->cards[8999];
        b.codeUoo = 288000;
        setFieldText(b.cardNumber, QStringLiteral("Z"));
        b.changeDate = changed;
        b.progDate = programmed;

        table->cards[5].version = 1;  // not in use: stays hidden
        saveAs(kCardFileName);
    }
    void saveAs(const QString& name) {
        ASSERT_TRUE(WriteCardFile(name, table->cards.data(), kCardCapacity, table->cardTemplate).isEmpty());
    }
};

TEST_F(CliDatabase, CardsListsCardsInUseInSlotOrder) {
    const auto before = fileBytes(kCardFileName);
    const auto run = runCli({QStringLiteral("cards")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("1\t4000000000\t12\tСклад №3\t2026-03-05 14:07:09\t\n"
                                      "9000\t288000\tZ\t\t2026-03-05 14:07:09\t2026-04-01 08:00:00\n"));
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliDatabase, CardsReadsTheFileGivenWithDb) {
    table->cards[0] = Card{};
    saveAs(QStringLiteral("other.K8W"));
    const auto run = runCli({QStringLiteral("cards"), QStringLiteral("--db"), QStringLiteral("other.K8W")});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("9000\t")));
}

TEST_F(CliDatabase, ImageWritesTheDeviceImageAndPrintsItsChecksum) {
    const auto before = fileBytes(kCardFileName);
    const auto run = runCli({QStringLiteral("image"), QStringLiteral("--row"), QStringLiteral("1"),
                             QStringLiteral("--out"), QStringLiteral("card.img")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray image = fileBytes(QStringLiteral("card.img"));
    ASSERT_EQ(image.size(), 585);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.constData());
    EXPECT_EQ(ImageCrc16(bytes, 585), 0);
    const std::uint16_t stored = static_cast<std::uint16_t>(bytes[583] | bytes[584] << 8);
    EXPECT_EQ(run.out, QStringLiteral("%1\n").arg(stored, 4, 16, QLatin1Char('0')).toUpper());
    EXPECT_EQ(image.left(3), QByteArray("12\0", 3));
    EXPECT_EQ(bytes[18], 0x00);  // 4000000000 = 0xEE6B2800, low byte first
    EXPECT_EQ(bytes[21], 0xEE);
    EXPECT_EQ(bytes[437 + 6], 0x42);
    EXPECT_EQ(fileBytes(kCardFileName), before);
}

TEST_F(CliDatabase, BadInputExitsWithStatusTwoAndAMessage) {
    const QString img = QStringLiteral("image");
    const QString row = QStringLiteral("--row");
    table->cards[6].changeDate = changed;
    table->cards[6].version = 2;
    saveAs(kCardFileName);
    const QList<QStringList> cases = {
        {img, row, QStringLiteral("0")},
        {img, row, QStringLiteral("9001")},
        {img, row, QStringLiteral("x")},
        {img, row, QStringLiteral("2")},  // free row
        {img, row, QStringLiteral("7")},  // version 2
        {img},
        {img, row},
        {QStringLiteral("cards"), QStringLiteral("--bogus")},
        {QStringLiteral("cards"), QStringLiteral("--db"), QStringLiteral("missing.K8W")},
        {QStringLiteral("nonsense")},
        {},
    };
    for (const QStringList& args : cases) {
        const auto run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST_F(CliDatabase, RefusedDatabaseIsReportedAndLeftAlone) {
    QFile file(kCardFileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(1311, '\x01'));
    file.close();
    const QList<QStringList> commands = {
        {QStringLiteral("cards")}, {QStringLiteral("image"), QStringLiteral("--row"), QStringLiteral("1")}};
    for (const QStringList& args : commands) {
        const auto run = runCli(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("not a card database")));
    }
    EXPECT_EQ(fileBytes(kCardFileName), QByteArray(1311, '\x01'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // nothing set aside by the tool
}

} // namespace
} // namespace k8w
