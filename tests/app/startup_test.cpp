#include "window_test_support.h"

#include "app/card_base_texts.h"
#include "common/cp1251.h"
#include "common/day_date.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QTimer>

namespace k8w::test {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, WithoutDatabaseShowsNumberedEmptyRowsAndCardZeroAsNewCard) {
    TForm1& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Утилита программирования УОО K8W (Кольвар) - Версия 1.05"));
    EXPECT_EQ(w.size(), QSize(974, 602));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";

    auto* grid = find<QTableView>("SetsGrid");
    ASSERT_EQ(grid->model()->rowCount(), 9000);
    ASSERT_EQ(grid->model()->columnCount(), 5);
    const QStringList header{QStringLiteral("Код УО"), QStringLiteral("№ карточки"), QStringLiteral("Объект"),
                             QStringLiteral("Дата изменений"), QStringLiteral("Дата программирования")};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString(), header[c]);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    EXPECT_EQ(grid->model()->headerData(8999, Qt::Vertical).toString(), QStringLiteral("9000"));
    EXPECT_EQ(grid->verticalHeader()->width(), 64);
    EXPECT_EQ(grid->columnWidth(0), 59);
    EXPECT_EQ(grid->columnWidth(2), 435);
    EXPECT_EQ(grid->rowHeight(5), 20);
    for (int c = 1; c <= 5; ++c) EXPECT_TRUE(cell(1, c).isEmpty());

    EXPECT_EQ(w.currentCardIndex(), 0);
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(w.searchRowValue(), 1);
    EXPECT_FALSE(w.isEditMode());
    EXPECT_TRUE(edit("CodeUoo")->text().isEmpty());
    EXPECT_TRUE(edit("Pin1Edit")->text().isEmpty());
    EXPECT_EQ(edit("ProgID1")->text(), QStringLiteral("0000"));
    EXPECT_EQ(edit("ProgID2")->text(), QStringLiteral("0000"));
    EXPECT_EQ(edit("balCritical")->text(), QStringLiteral("10"));
    // An empty update server brings the default update settings.
    EXPECT_EQ(edit("ipUpdateEdit")->text(), QStringLiteral("update.k8w.local"));
    EXPECT_EQ(edit("portUpdateEdit")->text(), QStringLiteral("25001"));
    EXPECT_EQ(edit("portParamsEdit")->text(), QStringLiteral("25002"));
    EXPECT_EQ(edit("SearchEdit")->text(), QStringLiteral("(Поиск)"));
    EXPECT_EQ(find<QLabel>("Label40")->text(), QStringLiteral("Выход всегда находится в режиме «Выключен»"));
    EXPECT_FALSE(databaseExists()) << "starting must not create the file";
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(StartupTest, ViewingStateLocksTheEditorAndOffersTheDeviceButtons) {
    open();
    EXPECT_FALSE(find("GroupBox1")->isEnabled());
    EXPECT_FALSE(find("MainGSM_Sheet")->isEnabled());
    EXPECT_FALSE(find("UpdateSheet")->isEnabled());
    EXPECT_FALSE(find("Out1Sheet")->isEnabled());
    EXPECT_FALSE(find("BitBtn2")->isEnabled());
    EXPECT_FALSE(find("BitBtn3")->isEnabled());
    for (const char* name : {"BitBtn1", "ProgBtn", "SpeedButton1", "ctrlWinBtn", "SearchEdit",
                             "SpeedButton3", "SetsGrid", "ExitBtn"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    EXPECT_EQ(find<QPushButton>("BitBtn1")->text(), QStringLiteral("Включить редактирование"));
    EXPECT_EQ(find("BitBtn1")->toolTip(), QStringLiteral("Включить режим редактирования"));
    EXPECT_EQ(find("BitBtn2")->toolTip(), QStringLiteral("Сохранить изменения в записи"));
    EXPECT_EQ(find("BitBtn3")->toolTip(), QStringLiteral("Удалить текущую запись"));
    EXPECT_EQ(find("SpeedButton3")->toolTip(), QStringLiteral("Искать далее..."));
    EXPECT_TRUE(find("GroupBox5")->isVisible());
    EXPECT_TRUE(find("GroupBox7")->isVisible());
    auto* tabs = find<QTabWidget>("PageControl1");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) titles << tabs->tabText(i);
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Основные"), QStringLiteral("Баланс"), QStringLiteral("Доп"),
                                   QStringLiteral("SMS"), QStringLiteral("Обновление"), QStringLiteral("Дуб-ние")}));
    auto* outputs = find<QTabWidget>("PageControl2");
    ASSERT_EQ(outputs->count(), 3);
    EXPECT_EQ(outputs->tabText(2), QStringLiteral("Зуммер"));
}

// A file has no history and no link: the status bar names its path only.
TEST_F(StartupTest, TheStatusBarNamesTheDatabaseFileAndNoHistoryIsOffered) {
    table->cards[0] = usedCard(100, QStringLiteral("N-1"), QStringLiteral("Склад"));
    writeDatabase(*table);
    open();
    EXPECT_EQ(find<QLabel>("BaseStatusLabel")->text(), kFileBaseStatus.arg(dir.file(QStringLiteral("ProgInfo_10.K8W"))));
    EXPECT_TRUE(find<QLabel>("BaseStatusLabel")->isVisible());
    EXPECT_FALSE(find("HistoryBtn")->isEnabled());
    EXPECT_TRUE(find<QLabel>("ChangedLabel")->text().isEmpty());
}

TEST_F(StartupTest, HiddenControlsExistButAreNotShown) {
    open();
    for (const char* name : {"GroupBox3", "PortLoc", "Mac1", "Mac6", "IPLoc4", "Mask1", "GateIP2_4",
                             "IPRem1_1", "PPPLoginEdit", "SpeedButton2", "Cord6", "Cord7", "Cord8",
                             "Cord1Part", "Cord5Part", "Label63", "partSupportCheck", "keysWinBtn",
                             "UseSim1", "UseSim2", "balPhoneSim1", "balPhoneSim2", "RCControl",
                             "Progress", "Label17", "resPcnCheck", "Ip1ResEdit", "Port2ResEdit"})
        EXPECT_FALSE(find(name)->isVisible()) << name;
    EXPECT_FALSE(window().busyTimer().isActive());
    EXPECT_EQ(window().busyTimer().interval(), 100);
}

TEST_F(StartupTest, FillsRowsOfCardsInUseFromTheDatabase) {
    table->cards[0] = usedCard(100, QStringLiteral("N-1"), QStringLiteral("Склад"));
    Card programmed = usedCard(32001, QStringLiteral("N-5"), QStringLiteral("Магазин"));
    programmed.progDate = 45100.25;
    programmed.progId = 0xBEEF;
    programmed.prevProgId = 0x0A0B;
    table->cards[4] = programmed;
    writeDatabase(*table);

    open();
    EXPECT_EQ(cell(1, 1), QStringLiteral("100"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("N-1"));
    EXPECT_EQ(cell(1, 3), QStringLiteral("Склад"));
    EXPECT_EQ(cell(1, 4), dayDateLocaleText(45000.5));
    EXPECT_TRUE(cell(1, 5).isEmpty()) << "never programmed";
    for (int c = 1; c <= 5; ++c) EXPECT_TRUE(cell(2, c).isEmpty());
    EXPECT_EQ(cell(5, 1), QStringLiteral("32001"));
    EXPECT_EQ(cell(5, 5), dayDateLocaleText(45100.25));

    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("100"));
    EXPECT_EQ(edit("Pin1Edit")->text(), QStringLiteral("1111"));
    EXPECT_EQ(edit("ipUpdateEdit")->text(), QStringLiteral("upd.example"));
    EXPECT_EQ(find<QLabel>("Label17")->text(), QStringLiteral("( 0x00000064 )"));

    clickRow(5);
    EXPECT_EQ(window().currentCardIndex(), 4);
    EXPECT_EQ(edit("ProgID1")->text(), QStringLiteral("BEEF"));
    EXPECT_EQ(edit("ProgID2")->text(), QStringLiteral("0A0B"));
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Магазин"));
}

TEST_F(StartupTest, ShowsEveryBoundFieldOfACard) {
    Card c = usedCard(0, QStringLiteral("Z"), QStringLiteral("Obj"));
    setFieldText(c.address, QStringLiteral("ул. Ленина, 1"));
    setFieldText(c.remark, QStringLiteral("ключ у охраны"));
    setFieldText(c.puk1, QStringLiteral("PUK-1"));
    setFieldText(c.simId2, QStringLiteral("sim-two"));
    setFieldText(c.number1, QStringLiteral("89001112233"));
    setFieldText(c.balCode[1], QStringLiteral("*100#"));
    setFieldText(c.smsObjName, QStringLiteral("Дом"));
    c.cordType[0] = 4;
    c.cordType[1] = 5;
    c.cordType[2] = 6;
    c.relayProfile[0] = 7;
    c.relayProfile[2] = 2;
    c.modeFlags = kModeOneColorIndic | kModeAllowUpdate | kModeSendNewMsg;
    c.smsFlags = kSmsToNumber2 | kSmsFire;
    c.balFlags = kBalEnable | kBalNoCriticalNotice;
    c.balCriticalLevel = 250;
    table->cards[0] = c;
    writeDatabase(*table);

    open();
    EXPECT_EQ(edit("CodeUoo")->text(), QStringLiteral("0"));
    EXPECT_EQ(find<QLabel>("Label17")->text(), QStringLiteral("( 0x00000000 )"));
    EXPECT_EQ(edit("FIOEdit")->text(), QStringLiteral("ул. Ленина, 1"));
    EXPECT_EQ(edit("RemarkEdit")->text(), QStringLiteral("ключ у охраны"));
    EXPECT_EQ(edit("PUK1_Edit")->text(), QStringLiteral("PUK-1"));
    EXPECT_EQ(edit("SIM_ID2_Edit")->text(), QStringLiteral("sim-two"));
    EXPECT_EQ(edit("Number1_Edit")->text(), QStringLiteral("89001112233"));
    EXPECT_EQ(edit("balCodeSim2")->text(), QStringLiteral("*100#"));
    EXPECT_EQ(edit("smsObjNameEdit")->text(), QStringLiteral("Дом"));
    EXPECT_EQ(edit("balCritical")->text(), QStringLiteral("250"));
    EXPECT_EQ(edit("timePassEdit")->text(), QStringLiteral("30"));
    EXPECT_EQ(combo("Cord1")->currentIndex(), 4);
    EXPECT_EQ(combo("Cord2")->currentIndex(), 5);
    EXPECT_EQ(combo("Cord3")->currentIndex(), 6);
    EXPECT_EQ(combo("RelayComboBox1")->currentIndex(), 7);
    EXPECT_EQ(combo("RelayComboBox3")->currentIndex(), 2);
    EXPECT_EQ(find<QLabel>("Label40")->text(),
              QStringLiteral("Если любой раздел под охраной - выход включен, все разделы без охраны - выключен"));
    EXPECT_TRUE(check("oneColorIndicCheck")->isChecked());
    EXPECT_FALSE(check("IndicZU")->isChecked());
    EXPECT_TRUE(check("allowUpdateCheck")->isChecked());
    EXPECT_TRUE(check("sendNewMsgCheck")->isChecked());
    EXPECT_FALSE(check("sendSMS1Check")->isChecked());
    EXPECT_TRUE(check("sendSMS2Check")->isChecked());
    EXPECT_TRUE(check("smsFireCheck")->isChecked());
    EXPECT_TRUE(check("balEnable")->isChecked());
    EXPECT_FALSE(check("balSendPcnCheck")->isChecked()) << "bit 1 set means no notice";
    EXPECT_TRUE(check("UseSim1")->isChecked());
    EXPECT_EQ(combo("VersionCombo")->currentText(), QStringLiteral("55.01"));
}

TEST_F(StartupTest, BusyIndicatorStepsAndWraps) {
    open();
    auto* bar = find<QProgressBar>("Progress");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 10);
    for (int i = 1; i <= 9; ++i) {
        window().Timer1Timer();
        EXPECT_EQ(bar->value(), i);
    }
    window().Timer1Timer();
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(StartupTest, NewMacButtonWritesZeroThenFiveRandomBytesBelowFF) {
    open();
    for (int round = 0; round < 50; ++round) {
        window().SpeedButton2Click();
        EXPECT_EQ(edit("Mac1")->text(), QStringLiteral("00"));
        for (const char* name : {"Mac2", "Mac3", "Mac4", "Mac5", "Mac6"}) {
            const QString text = edit(name)->text();
            ASSERT_EQ(text.size(), 2) << text.toStdString();
            EXPECT_EQ(text, text.toUpper());
            bool ok = false;
            const int value = text.toInt(&ok, 16);
            EXPECT_TRUE(ok);
            EXPECT_LE(value, 254);
        }
    }
}

} // namespace
} // namespace k8w::test
