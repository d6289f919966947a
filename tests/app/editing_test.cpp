#include "window_test_support.h"

#include "common/cp1251.h"
#include "common/day_date.h"

#include <QFile>

#include <cstring>

namespace k8w::test {
namespace {

using EditingTest = WindowTest;

const QString kCancelQuestion = QStringLiteral("Все изменения будут утеряны. Отменить редактирование?");
const QString kDeleteQuestion = QStringLiteral("Вы точно хотите удалить запись безвозвратно?");
const QString kCloseQuestion = QStringLiteral(
    "Включен режим редактирования. Хотите выйти из программы без сохранения текущей записи?");

void expectQuestion(const MessageRequest& box, const QString& text) {
    EXPECT_EQ(box.title, QStringLiteral("Внимание"));
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
}

TEST_F(EditingTest, EnteringEditingUnlocksTheEditorAndLocksTheRest) {
    open();
    startEditing();
    EXPECT_EQ(find<QPushButton>("BitBtn1")->text(), QStringLiteral("Отменить редактирование"));
    for (const char* name : {"GroupBox1", "MainGSM_Sheet", "BalanceSheet", "Add_GSM_Sheet", "SMS_Sheet",
                             "UpdateSheet", "Out1Sheet", "Out2Sheet", "BuzzerSheet", "BitBtn2", "BitBtn3"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    for (const char* name : {"ProgBtn", "SpeedButton1", "SetsGrid", "SearchEdit", "SpeedButton3",
                             "ctrlWinBtn", "keysWinBtn"})
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(EditingTest, NewCardGetsARandomLocalPortUnlessItShowsZero) {
    open();
    for (int round = 0; round < 20; ++round) {
        edit("PortLoc")->setText(QStringLiteral("1"));
        startEditing();
        const int port = edit("PortLoc")->text().toInt();
        EXPECT_GE(port, 6001);
        EXPECT_LE(port, 63999);
        boxes.answer(MsgAnswer::Yes);
        click("BitBtn1");
        ASSERT_FALSE(window().isEditMode());
    }
    edit("PortLoc")->setText(QStringLiteral("0"));
    startEditing();
    EXPECT_EQ(edit("PortLoc")->text(), QStringLiteral("0"));
}

TEST_F(EditingTest, ExistingCardKeepsItsLocalPort) {
    table->cards[0] = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    writeDatabase(*table);
    open();
    edit("PortLoc")->setText(QStringLiteral("1234"));
    startEditing();
    EXPECT_EQ(edit("PortLoc")->text(), QStringLiteral("1234"));
}

TEST_F(EditingTest, CancelAnsweredNoKeepsTypedValuesAndEditing) {
    open();
    startEditing();
    type("Edit1", QStringLiteral("Новый объект"));
    boxes.answer(MsgAnswer::No);
    click("BitBtn1");
    ASSERT_EQ(boxes.shown().size(), 1);
    expectQuestion(boxes.last(), kCancelQuestion);
    EXPECT_TRUE(window().isEditMode());
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Новый объект"));
    EXPECT_EQ(find<QPushButton>("BitBtn1")->text(), QStringLiteral("Отменить редактирование"));
    EXPECT_TRUE(find("BitBtn2")->isEnabled());
}

TEST_F(EditingTest, CancelAnsweredYesDiscardsEditsAndReturnsToViewing) {
    table->cards[0] = usedCard(100, QStringLiteral("A"), QStringLiteral("Старый"));
    writeDatabase(*table);
    open();
    startEditing();
    type("Edit1", QStringLiteral("Новый"));
    type("CodeUoo", QStringLiteral("555"));
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");
    expectQuestion(boxes.last(), kCancelQuestion);
    EXPECT_FALSE(window().isEditMode());
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Старый"));
    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("100"));
    EXPECT_FALSE(find("BitBtn2")->isEnabled());
    EXPECT_TRUE(find("SetsGrid")->isEnabled());
    EXPECT_EQ(+readDatabase()->cards[0].codeUoo, 100u);
}

TEST_F(EditingTest, SavingANewCardWritesItIntoItsSlotAndTheFile) {
    open();
    clickRow(3);
    ASSERT_EQ(window().currentCardIndex(), 2);
    startEditing();
    fillValidCard(QStringLiteral("32005"));
    type("Edit1", QStringLiteral("Офис"));
    type("FIOEdit", QStringLiteral("пр. Мира, 5"));
    type("smsObjNameEdit", QStringLiteral("Офис"));
    clickCheck("IndicZU");
    choose("RelayComboBox1", 3);
    const double before = dayDateNow();
    EXPECT_TRUE(saveAndGetWarning().isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty()) << "a successful save shows nothing";
    EXPECT_FALSE(window().isEditMode());
    EXPECT_TRUE(window().isSaveOnClose());
    EXPECT_EQ(find<QPushButton>("BitBtn1")->text(), QStringLiteral("Включить редактирование"));

    EXPECT_EQ(cell(3, 1), QStringLiteral("32005"));
    EXPECT_EQ(cell(3, 2), QStringLiteral("A-17"));
    EXPECT_EQ(cell(3, 3), QStringLiteral("Офис"));
    EXPECT_FALSE(cell(3, 4).isEmpty());
    EXPECT_TRUE(cell(3, 5).isEmpty());

    auto disk = readDatabase();
    const Card& c = disk->cards[2];
    EXPECT_EQ(+c.codeUoo, 32005u);
    EXPECT_EQ(fieldText(c.cardNumber), QStringLiteral("A-17"));
    EXPECT_EQ(fieldText(c.objectName), QStringLiteral("Офис"));
    EXPECT_EQ(fieldText(c.address), QStringLiteral("пр. Мира, 5"));
    EXPECT_EQ(fieldText(c.pin1), QStringLiteral("1234"));
    EXPECT_EQ(fieldText(c.port2Gsm), QStringLiteral("65535"));
    EXPECT_EQ(fieldText(c.apn2), QStringLiteral("internet2"));
    EXPECT_EQ(fieldText(c.ipUpdate), QStringLiteral("update.k8w.local"));
    EXPECT_EQ(fieldText(c.portParams), QStringLiteral("25002"));
    EXPECT_EQ(+c.modeFlags, kModeIndicZU);
    EXPECT_EQ(c.relayProfile[0], 3);
    EXPECT_EQ(+c.balCriticalLevel, 10);
    EXPECT_EQ(+c.balFlags, 0) << "notice on: bit 1 clear";
    EXPECT_EQ(c.timePass, 0);
    EXPECT_GE(+c.changeDate, before - 1e-6);
    EXPECT_LE(+c.changeDate, dayDateNow() + 1e-6);
    EXPECT_EQ(c.version, 0);
    EXPECT_TRUE(isCardInUse(c));
    for (int i = 0; i < kCardCapacity; ++i) {
        if (i != 2) {
            ASSERT_FALSE(isCardInUse(disk->cards[static_cast<std::size_t>(i)])) << i;
        }
    }
    // The template on disk is the new-card template of the saved card.
    EXPECT_EQ(fieldText(disk->cardTemplate.apn1), QStringLiteral("internet"));
    EXPECT_EQ(+disk->cardTemplate.codeUoo, 0u);
    EXPECT_TRUE(fieldText(disk->cardTemplate.smsObjName).isEmpty());
    EXPECT_EQ(std::memcmp(&disk->cards[2], &window().cardTable().cards[2], sizeof(Card)), 0);
}

TEST_F(EditingTest, AFreeSlotAfterASaveShowsTheTemplateOfThatCard) {
    table->cards[0] = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    writeDatabase(*table);
    open();
    startEditing();
    type("APN1Edit", QStringLiteral("apn.saved"));
    type("Ip2GsmEdit", QStringLiteral("172.16.0.9"));
    type("Pin1Edit", QStringLiteral("9876"));
    type("Edit1", QStringLiteral("Объект для шаблона"));
    clickCheck("powerCtrlOffCheck");
    choose("Cord2", 6);
    choose("RelayComboBox2", 9);
    ASSERT_TRUE(saveAndGetWarning().isEmpty());

    clickRow(7);
    EXPECT_EQ(window().currentCardIndex(), 6);
    EXPECT_TRUE(edit("CodeUoo")->text().isEmpty());
    EXPECT_TRUE(edit("Pin1Edit")->text().isEmpty());
    EXPECT_TRUE(edit("Pin2Edit")->text().isEmpty());
    EXPECT_EQ(edit("APN1Edit")->text(), QStringLiteral("apn.saved"));
    EXPECT_EQ(edit("Ip2GsmEdit")->text(), QStringLiteral("172.16.0.9"));
    EXPECT_EQ(edit("NCardEdit")->text(), QStringLiteral("A"));
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Объект для шаблона"));
    EXPECT_EQ(combo("Cord2")->currentIndex(), 6);
    EXPECT_EQ(combo("RelayComboBox2")->currentIndex(), 9);
    EXPECT_FALSE(check("powerCtrlOffCheck")->isChecked()) << "mode switches are not carried";
    EXPECT_EQ(combo("Cord2Part")->currentIndex(), 0);
    EXPECT_EQ(edit("ProgID1")->text(), QStringLiteral("0000"));
    EXPECT_EQ(edit("ProgID2")->text(), QStringLiteral("0000"));
    EXPECT_TRUE(edit("FIOEdit")->text().isEmpty());
    // It survives a restart: the template is in the file.
    window_.reset();
    open();
    clickRow(7);
    EXPECT_EQ(edit("APN1Edit")->text(), QStringLiteral("apn.saved"));
}

TEST_F(EditingTest, SavingKeepsProgrammingResultAndKeys) {
    Card c = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    c.progDate = 45001.75;
    c.progId = 0x1234;
    c.prevProgId = 0x5678;
    c.keys[1][2].state = 1;
    c.keys[1][2].keyCode[0] = 0x42;
    c.keys[3][5].entryDate = 44000.5;
    setFieldText(c.simId1, QStringLiteral("old sim"));
    table->cards[0] = c;
    writeDatabase(*table);
    open();
    startEditing();
    type("SIM_ID1_Edit", QStringLiteral("new sim"));
    ASSERT_TRUE(saveAndGetWarning().isEmpty());
    const auto disk = readDatabase();
    const Card& saved = disk->cards[0];
    EXPECT_EQ(+saved.progDate, 45001.75);
    EXPECT_EQ(+saved.progId, 0x1234);
    EXPECT_EQ(+saved.prevProgId, 0x5678);
    EXPECT_EQ(std::memcmp(saved.keys, c.keys, sizeof c.keys), 0);
    EXPECT_EQ(fieldText(saved.simId1), QStringLiteral("new sim"));
    EXPECT_GT(+saved.changeDate, 45000.5);
    EXPECT_EQ(cell(1, 5), dayDateLocaleText(45001.75));
}

TEST_F(EditingTest, EmptyUpdateFieldsAreSavedWithTheDefaults) {
    Card c = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    std::memset(c.portUpdate, 0, sizeof c.portUpdate);
    table->cards[0] = c;
    writeDatabase(*table);
    open();
    EXPECT_EQ(edit("ipUpdateEdit")->text(), QStringLiteral("update.k8w.local"));
    EXPECT_EQ(edit("portUpdateEdit")->text(), QStringLiteral("25001"));
    EXPECT_EQ(edit("portParamsEdit")->text(), QStringLiteral("25002"));
    startEditing();
    ASSERT_TRUE(saveAndGetWarning().isEmpty());
    const auto disk = readDatabase();
    const Card& saved = disk->cards[0];
    EXPECT_EQ(fieldText(saved.ipUpdate), QStringLiteral("update.k8w.local"));
    EXPECT_EQ(fieldText(saved.portUpdate), QStringLiteral("25001"));
}

TEST_F(EditingTest, DeleteAnsweredNoChangesNothing) {
    table->cards[0] = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    writeDatabase(*table);
    open();
    startEditing();
    boxes.answer(MsgAnswer::No);
    click("BitBtn3");
    expectQuestion(boxes.last(), kDeleteQuestion);
    EXPECT_TRUE(window().isEditMode());
    EXPECT_TRUE(isCardInUse(window().cardTable().cards[0]));
    EXPECT_EQ(cell(1, 1), QStringLiteral("100"));
    EXPECT_TRUE(isCardInUse(readDatabase()->cards[0]));
}

TEST_F(EditingTest, DeleteAnsweredYesEmptiesTheSlotInPlaceAndRewritesTheFile) {
    table->cards[3] = usedCard(100, QStringLiteral("A"), QStringLiteral("B"));
    table->cards[4] = usedCard(200, QStringLiteral("C"), QStringLiteral("D"));
    writeDatabase(*table);
    open();
    clickRow(4);
    startEditing();
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn3");
    expectQuestion(boxes.last(), kDeleteQuestion);
    EXPECT_FALSE(window().isEditMode());
    EXPECT_FALSE(window().isSaveOnClose()) << "a deletion does not ask for the rewrite at close";
    EXPECT_EQ(window().currentCardIndex(), 3);
    for (int c = 1; c <= 5; ++c) EXPECT_TRUE(cell(4, c).isEmpty());
    EXPECT_EQ(cell(5, 1), QStringLiteral("200")) << "the next card keeps its row";
    EXPECT_TRUE(edit("CodeUoo")->text().isEmpty());
    auto disk = readDatabase();
    const Card zero{};
    EXPECT_EQ(std::memcmp(&disk->cards[3], &zero, sizeof(Card)), 0);
    EXPECT_EQ(+disk->cards[4].codeUoo, 200u);

    // Closing after only a deletion does not write the file again.
    ASSERT_TRUE(QFile::remove(kCardFileName));
    EXPECT_TRUE(window().close());
    EXPECT_FALSE(databaseExists());
}

TEST_F(EditingTest, ClosingInViewingNeverAsks) {
    open();
    click("ExitBtn");
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(databaseExists()) << "nothing was saved";
}

TEST_F(EditingTest, ClosingInEditingAsksOnceAndNoKeepsTheWindow) {
    open();
    startEditing();
    type("Edit1", QStringLiteral("x"));
    boxes.answer(MsgAnswer::No);
    EXPECT_FALSE(window().close());
    ASSERT_EQ(boxes.shown().size(), 1);
    expectQuestion(boxes.last(), kCloseQuestion);
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isEditMode());
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("x"));

    boxes.answer(MsgAnswer::Yes);
    click("ExitBtn");
    EXPECT_EQ(boxes.shown().size(), 2);
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(databaseExists()) << "the edit is lost";
}

TEST_F(EditingTest, ClosingAfterASaveRewritesTheFile) {
    open();
    startEditing();
    fillValidCard();
    ASSERT_TRUE(saveAndGetWarning().isEmpty());
    ASSERT_TRUE(QFile::remove(kCardFileName));
    click("ExitBtn");
    EXPECT_TRUE(boxes.shown().isEmpty());
    ASSERT_TRUE(databaseExists());
    EXPECT_EQ(+readDatabase()->cards[0].codeUoo, 100u);
}

TEST_F(EditingTest, AFailedWriteIsReportedAndTheCardStaysInMemory) {
    open();
    startEditing();
    fillValidCard();
    // A directory in the file's place makes every write fail.
    ASSERT_TRUE(QDir(dir.path()).mkdir(kCardFileName));
    click("BitBtn2");
    ASSERT_FALSE(boxes.shown().isEmpty());
    EXPECT_EQ(boxes.last().title, QStringLiteral("Ошибка"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("Ошибка записи на диск"));
    EXPECT_EQ(boxes.last().buttons, MsgButtons::Ok);
    EXPECT_TRUE(isCardInUse(window().cardTable().cards[0]));
    EXPECT_FALSE(window().isEditMode());
}

} // namespace
} // namespace k8w::test
