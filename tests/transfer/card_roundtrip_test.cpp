// Cards out as JSON and back in through the import's checks.
#include "generated_cards.h"

#include "cards/card_csv.h"
#include "cards/card_json.h"
#include "cards/card_members.h"
#include "cards/config_image.h"
#include "cards/row_list.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "editor/card_editor_values.h"
#include "editor/card_import.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

std::vector<int> allSlots() { return *ParseRowList(QStringLiteral("all"), nullptr); }

// The record without its change date, byte for byte.
QByteArray withoutChangeDate(Card card) {
    card.changeDate = 0;
    return QByteArray(reinterpret_cast<const char*>(&card), sizeof card);
}

TEST(CardRoundTrip, GeneratedCardsPassTheWindowsChecks) {
    const auto table = test::GeneratedCards(400);
    for (int slot = 0; slot < kCardCapacity; ++slot) {
        const Card& card = table->cards[static_cast<std::size_t>(slot)];
        if (!isCardInUse(card)) continue;
        EXPECT_EQ(ValidateCardEditor(CardEditorValuesOf(card, true), *table, slot), std::nullopt) << "slot " << slot;
    }
}

TEST(CardRoundTrip, ExportThenImportIntoAnEmptyBaseGivesTheSameCards) {
    const auto source = test::GeneratedCards(400);
    const QByteArray json = ExportCardsJson(*source, allSlots());

    auto target = CardTable::create();
    const double now = 46000.5;
    const CardImportResult result = ImportCards(json, *target, true, now);
    ASSERT_EQ(result.failures, QStringList{});
    EXPECT_EQ(result.changedSlots.size(), 400u);
    EXPECT_TRUE(result.templateRenewed);
    for (int slot = 0; slot < kCardCapacity; ++slot) {
        const Card& before = source->cards[static_cast<std::size_t>(slot)];
        const Card& after = target->cards[static_cast<std::size_t>(slot)];
        ASSERT_EQ(withoutChangeDate(after), withoutChangeDate(before)) << "slot " << slot;
        if (isCardInUse(before)) {
            EXPECT_EQ(+after.changeDate, now);
        }
    }
    EXPECT_EQ(withoutChangeDate(target->cardTemplate), withoutChangeDate(source->cardTemplate));
    // And a second export reads exactly like the first, apart from the change dates.
    auto dropDates = [](QByteArray text) {
        return QString::fromUtf8(text).remove(QRegularExpression(QStringLiteral("\"changeDate\": [^,]*,")));
    };
    EXPECT_EQ(dropDates(ExportCardsJson(*target, allSlots())), dropDates(json));
}

TEST(CardRoundTrip, ImportingAnUnchangedExportTouchesNothing) {
    auto table = test::GeneratedCards(50);
    const auto before = std::make_unique<CardTable>(*table);
    const CardImportResult result = ImportCards(ExportCardsJson(*table, allSlots()), *table, false, 47000);
    ASSERT_EQ(result.failures, QStringList{});
    EXPECT_TRUE(result.changedSlots.empty());
    EXPECT_EQ(result.unchanged, 50);
    EXPECT_EQ(std::memcmp(before.get(), table.get(), sizeof(CardTable)), 0);
}

TEST(CardRoundTrip, AFileDateEqualToTheStoredOneToTheSecondIsNoChange) {
    const double withMs = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9, 456)));
    const double second = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
    const double nextSecond = toDayDate(QDateTime(QDate(2026, 3, 5), QTime(14, 7, 10)));
    const struct {
        double stored;
        const char* inFile;
        bool changed;
    } cases[] = {
        {withMs, "2026-03-05T14:07:09", false},
        {second, "2026-03-05T14:07:09", false},
        {withMs, "2026-03-05T14:07:10", true},
    };
    for (const auto& c : cases) {
        auto table = test::GeneratedCards(1);
        KeyEntry* key = &table->cards[0].keys[0][0];
        while (key->state != 1) ++key;  // the first key slot in use
        key->entryDate = c.stored;
        const Card before = table->cards[0];
        QByteArray json = ExportCardsJson(*table, {0});
        ASSERT_EQ(json.count("\"2026-03-05T14:07:09\""), 1);
        json.replace("\"2026-03-05T14:07:09\"", QByteArray("\"") + c.inFile + '"');

        const CardImportResult result = ImportCards(json, *table, false, 47000);
        ASSERT_EQ(result.failures, QStringList{}) << c.inFile;
        EXPECT_EQ(result.changedSlots.size(), c.changed ? 1u : 0u) << c.inFile;
        EXPECT_EQ(+key->entryDate, c.changed ? nextSecond : c.stored) << c.inFile;
        EXPECT_EQ(std::memcmp(&table->cards[0], &before, sizeof before) == 0, !c.changed) << c.inFile;
    }
}

TEST(CardRoundTrip, OneMemberChangesOnlyThatFieldAndTheChangeDate) {
    auto table = test::GeneratedCards(3);  // rows 1, 4500, 9000
    const Card before = table->cards[0];
    const QByteArray json = R"([{"row": 1, "apn1": "internet.new", "progId": "0000", "progDate": null}])";
    const CardImportResult result = ImportCards(json, *table, false, 47000.25);
    ASSERT_EQ(result.failures, QStringList{});
    Card expected = before;
    setFieldText(expected.apn1, QStringLiteral("internet.new"));
    expected.changeDate = 47000.25;  // programming results stay as the base has them
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&table->cards[0]), sizeof(Card)),
              QByteArray(reinterpret_cast<const char*>(&expected), sizeof(Card)));
}

TEST(CardRoundTrip, ExportNamesEveryMemberOfTheRecordAndLeavesReservedBytesOut) {
    auto table = test::GeneratedCards(1);
    table->cards[0].reserved337[5] = 7;
    const QJsonObject card = QJsonDocument::fromJson(ExportCardsJson(*table, allSlots()))
                                 .object()
                                 .value(QStringLiteral("cards"))
                                 .toArray()
                                 .at(0)
                                 .toObject();
    QStringList expected{QStringLiteral("row"), QStringLiteral("keys")};
    for (const CardMember& m : CardMembers()) expected += QString::fromLatin1(m.name);
    QStringList names = card.keys();
    names.sort();
    expected.sort();
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(HasReservedBytes(table->cards[0]));
    EXPECT_EQ(card.value(QStringLiteral("progId")).toString(), ChecksumText(table->cards[0].progId));
}

TEST(CardRoundTrip, CsvOpensInARussianSpreadsheet) {
    auto table = test::GeneratedCards(2);
    setFieldText(table->cards[0].objectName, QStringLiteral("ООО \"Ромашка\"; склад №2"));
    const QByteArray csv = ExportCardsCsv(*table, allSlots());
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);  // header and two cards
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("row;codeUoo;pin1;")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral(";cordType1;cordType2;cordType3;cordType4;cordType5;")));
    EXPECT_FALSE(lines[0].contains(QStringLiteral("keys")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(";\"ООО \"\"Ромашка\"\"; склад №2\";")));
}

TEST(RowList, ReadsNumbersRangesAndAll) {
    struct Case {
        const char* text;
        std::vector<int> expected;
    };
    const Case cases[] = {{"1,5,10-12", {0, 4, 9, 10, 11}}, {"9000", {8999}}, {"3,1-3", {0, 1, 2}}};
    for (const Case& c : cases) EXPECT_EQ(ParseRowList(QString::fromLatin1(c.text), nullptr), c.expected) << c.text;
    EXPECT_EQ(ParseRowList(QStringLiteral("all"), nullptr)->size(), static_cast<std::size_t>(kCardCapacity));
    for (const char* bad : {"", "0", "9001", "5-3", "1,,2", "a", "1-", "+5", "1;2"}) {
        QString error;
        EXPECT_EQ(ParseRowList(QString::fromLatin1(bad), &error), std::nullopt) << bad;
        EXPECT_FALSE(error.isEmpty());
    }
}

} // namespace
} // namespace k8w
