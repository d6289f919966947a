// The checks that guard a save, driven through the editor.
#include "window_test_support.h"

#include "common/cp1251.h"

#include <QFile>

namespace k8w::test {
namespace {

const QString kRanges = QStringLiteral(
    "\n\nВ зависимости от того на какой закладке \"АТС\" в программе ПЦН отображается ТК-700 доступны "
    "следующие диапазоны значений кода УО:\n\nАТС №0 (0 - 799); АТС №1(32000 - 32799); АТС №2(64000 - "
    "64799); АТС №3(96000 - 96799); АТС №4(128000 - 128799); АТС №5(160000 - 160799); АТС №6(192000 - "
    "192799); АТС №7(224000 - 224799); АТС №8(256000 - 256799); АТС №9(288000 - 288799);\n\nОткройте в "
    "базе ПЦН RIDU \"Кольвар\" карточку объекта или ресурсы выделенного КЦ (ТК-700) на нужной закладке "
    "АТС для уточнения правильного значения кода УО.");
const QString kCodeRangeWarning = QStringLiteral("Ошибочные данные в полях:\n\nКод УО\n") + kRanges;
const QString kPortsTail = QStringLiteral(
    "\n\n*Номера портов должны быть от 5000 до 65535\n*PIN-коды должны быть 4х-значные");

class ValidationTest : public WindowTest {
protected:
    void SetUp() override {
        open();
        clickRow(2);
        startEditing();
        fillValidCard();
    }
    // The card was not written: nothing in memory, nothing on disk.
    void expectNotSaved() {
        EXPECT_FALSE(isCardInUse(window().cardTable().cards[1]));
        EXPECT_FALSE(databaseExists());
        EXPECT_FALSE(window().isSaveOnClose());
    }
    // Saves, expecting success; then goes back to editing the same card.
    void expectAccepted(const char* what) {
        const QString warning = saveAndGetWarning();
        EXPECT_TRUE(warning.isEmpty()) << what << ": " << warning.toStdString();
        EXPECT_FALSE(window().isEditMode()) << what;
        EXPECT_TRUE(databaseExists()) << what;
        if (!window().isEditMode()) startEditing();
    }
};

TEST_F(ValidationTest, ValidCardIsSavedWithoutAMessage) {
    expectAccepted("valid card");
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(ValidationTest, RequiredFieldsAreListedInTheirOrder) {
    for (const char* name : {"NCardEdit", "CodeUoo", "Pin1Edit", "Ip1GsmEdit", "Port1GsmEdit", "APN1Edit",
                             "Pin2Edit", "Ip2GsmEdit", "APN2Edit", "Port2GsmEdit", "LoginGsm1Edit", "PassGsm2Edit"})
        type(name, QString());
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\n"
                             "Номер карточки\nКод УО\nPIN1\nIP Адрес ТК (WAN1)\nПорт ТК (WAN1)\n"
                             "Точка доступа 1\nPIN2\nIP Адрес ТК (WAN2)\nТочка доступа 2\nПорт ТК (WAN2)\n"));
    expectNotSaved();
}

TEST_F(ValidationTest, BlanksAreNotEmptyAndEmptyFieldsNeverReachThePortCheck) {
    type("APN2Edit", QStringLiteral(" "));
    type("Port1GsmEdit", QString());
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\n"
                             "Порт ТК (WAN1)\n"));
}

TEST_F(ValidationTest, FieldsOfASimCardSwitchedOffAreNotRequired) {
    type("Pin2Edit", QString());
    type("Port2GsmEdit", QString());
    check("UseSim2")->setChecked(false);
    window().UseSim2Click();
    EXPECT_FALSE(edit("Pin2Edit")->isEnabled());
    expectAccepted("SIM 2 off");
}

TEST_F(ValidationTest, OneControlLoopPerPartition) {
    choose("Cord2", 6);
    choose("Cord3", 6);
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Разрешается использовать только один управляющий шлейф на раздел! Проверьте "
                             "конфигурацию и убедитесь, что в каждом разделе только один управляющий шлейф"));
    expectNotSaved();
    // Partition lists are hidden in this design; switched on they split the loops.
    check("partSupportCheck")->setChecked(true);
    window().partSupportCheckClick();
    choose("Cord3Part", 1);
    expectAccepted("control loops in partitions 0 and 1");
}

TEST_F(ValidationTest, PassThroughLoopWithoutEntryLoopNeverReachesTheCheck) {
    // The loop rules put it back to "Отключен" at once, so the save passes.
    choose("Cord3", 5);
    EXPECT_EQ(combo("Cord3")->currentIndex(), 0);
    choose("Cord1", 4);
    choose("Cord3", 5);
    EXPECT_EQ(combo("Cord3")->currentIndex(), 5);
    type("timePassEdit", QStringLiteral("60"));
    expectAccepted("pass-through with entry loop 1");
    EXPECT_EQ(window().cardTable().cards[1].cordType[2], 5);
}

TEST_F(ValidationTest, CriticalBalanceBounds) {
    edit("balCritical")->setText(QStringLiteral("5"));  // locked while the check is off
    expectAccepted("balance check off: any level");
    clickTab("PageControl1", 1);
    clickCheck("balEnable");
    ASSERT_TRUE(check("balEnable")->isChecked());
    const QString warning = QStringLiteral(
        "Задано неверное значение критического баланса SIM. Разрешается задавать значения от 10 до 500р");
    for (const char* bad : {"9", "501", "", "1a"}) {
        type("balCritical", QString::fromLatin1(bad));
        EXPECT_EQ(saveAndGetWarning(), warning) << bad;
    }
    for (const char* good : {"10", "500"}) {
        type("balCritical", QString::fromLatin1(good));
        expectAccepted(good);
    }
}

TEST_F(ValidationTest, PortsAndPins) {
    struct Case {
        const char* field;
        const char* text;
        const char* hint;
    };
    for (const Case& c : {Case{"Port1GsmEdit", "4999", "Порт ТК (WAN1)"}, Case{"Port2GsmEdit", "65536", "Порт ТК (WAN2)"},
                          Case{"Pin1Edit", "123", "PIN1"}, Case{"Pin2Edit", "12a4", "PIN2"},
                          Case{"Port1GsmEdit", "500", "Порт ТК (WAN1)"}}) {
        fillValidCard();
        type(c.field, QString::fromLatin1(c.text));
        EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Ошибочные данные в полях:\n\n") +
                                           QString::fromUtf8(c.hint) + QStringLiteral("\n") + kPortsTail)
            << c.text;
    }
    fillValidCard();
    type("Pin1Edit", QStringLiteral("12"));
    type("Port2GsmEdit", QStringLiteral("70000"));
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Ошибочные данные в полях:\n\nPIN1\nПорт ТК (WAN2)\n") + kPortsTail);
    fillValidCard();
    type("Port1GsmEdit", QStringLiteral("5000"));
    type("Port2GsmEdit", QStringLiteral("65535"));
    type("Pin1Edit", QStringLiteral("0000"));
    expectAccepted("5000, 65535, 0000");
}

TEST_F(ValidationTest, DeviceCodeRanges) {
    for (const char* bad : {"800", "31999", "288800", "-1", "12a", "32800"}) {
        type("CodeUoo", QString::fromLatin1(bad));
        EXPECT_EQ(saveAndGetWarning(), kCodeRangeWarning) << bad;
        expectNotSaved();
    }
    for (const char* good : {"0", "799", "32000", "288799"}) {
        type("CodeUoo", QString::fromLatin1(good));
        expectAccepted(good);
    }
}

TEST_F(ValidationTest, DeviceCodeMustBeUniqueAmongCardsInUse) {
    expectAccepted("first save of code 100");  // row 2, code 100
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");  // cancel
    ASSERT_FALSE(window().isEditMode());
    clickRow(5);
    startEditing();
    fillValidCard(QStringLiteral("100"));
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Такой код УО уже есть в базе"));
    EXPECT_FALSE(isCardInUse(window().cardTable().cards[4]));
    type("CodeUoo", QStringLiteral("101"));
    expectAccepted("other code");
    // Saving a card again with its own code is fine.
    expectAccepted("own code");

    // Once the first card is deleted its code is free again.
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");
    clickRow(2);
    startEditing();
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn3");
    clickRow(5);
    startEditing();
    type("CodeUoo", QStringLiteral("100"));
    expectAccepted("code of a deleted card");
    EXPECT_EQ(+readDatabase()->cards[4].codeUoo, 100u);
}

TEST_F(ValidationTest, SmsNumbers) {
    const QString tail = QStringLiteral("\nВсе используемые номера телефонов должны содержать 11 цифр и начинаться с 8");
    clickTab("PageControl1", 3);
    clickCheck("sendSMS1Check");
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Неверные данные в полях:\n\nНомер 1 для отправки SMS\n") + tail);
    type("smsNumber1Edit", QStringLiteral("7900111223"));
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Неверные данные в полях:\n\nНомер 1 для отправки SMS\n") + tail);
    type("smsNumber1Edit", QStringLiteral("79001112233"));
    clickCheck("sendSMS2Check");
    type("smsNumber2Edit", QStringLiteral("8900"));
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Неверные данные в полях:\n\nНомер 1 для отправки SMS\n"
                                                  "Номер 2 для отправки SMS\n") + tail);
    type("smsNumber1Edit", QStringLiteral("89001112233"));
    type("smsNumber2Edit", QStringLiteral("8abcdefghij"));
    expectAccepted("only the length and the first digit count");
}

TEST_F(ValidationTest, EmptyBalancePhonesPassAndWrongOnesAreListed) {
    check("balEnable")->setChecked(true);
    window().balEnableClick();
    EXPECT_TRUE(saveAndGetWarning().isEmpty());
    startEditing();
    check("balEnable")->setChecked(true);
    window().balEnableClick();
    edit("balPhoneSim2")->setText(QStringLiteral("123"));
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Неверные данные в полях:\n\nТелефонный номер для отправки SMS о балансе на SIM 2\n\n"
                             "Все используемые номера телефонов должны содержать 11 цифр и начинаться с 8"));
}

TEST_F(ValidationTest, EntryDelayOnlyForAnEntryLoop) {
    EXPECT_FALSE(edit("timePassEdit")->isEnabled());
    edit("timePassEdit")->setText(QStringLiteral("999"));
    expectAccepted("delay not checked without an entry loop");
    choose("Cord1", 4);
    ASSERT_TRUE(edit("timePassEdit")->isEnabled());
    const QString warning = QStringLiteral("Задержка входного шлейфа должна бьть в интервале 0-120 сек.");
    for (const char* bad : {"121", "-1", "", "x"}) {
        type("timePassEdit", QString::fromLatin1(bad));
        EXPECT_EQ(saveAndGetWarning(), warning) << bad;
    }
    for (const char* good : {"0", "120"}) {
        type("timePassEdit", QString::fromLatin1(good));
        expectAccepted(good);
    }
    EXPECT_EQ(readDatabase()->cards[1].timePass, 120);
}

TEST_F(ValidationTest, UpdateServer) {
    clickTab("PageControl1", 4);
    EXPECT_FALSE(edit("portUpdateEdit")->isEnabled());
    edit("portUpdateEdit")->setText(QStringLiteral("1"));
    expectAccepted("automatic update off: not checked");
    clickTab("PageControl1", 4);
    clickCheck("allowUpdateCheck");
    ASSERT_TRUE(edit("ipUpdateEdit")->isEnabled());
    const QString warning = QStringLiteral("Неверные значения IP или порта сервера обновлений.");
    type("portUpdateEdit", QStringLiteral("1000"));
    type("ipUpdateEdit", QString());
    EXPECT_EQ(saveAndGetWarning(), warning);
    type("ipUpdateEdit", QStringLiteral("not an address"));
    for (const char* bad : {"999", "", "1o00"}) {
        type("portUpdateEdit", QString::fromLatin1(bad));
        EXPECT_EQ(saveAndGetWarning(), warning) << bad;
    }
    type("portUpdateEdit", QStringLiteral("1000"));
    expectAccepted("1000");
    type("portUpdateEdit", QStringLiteral("99999"));
    expectAccepted("no upper bound");
    EXPECT_TRUE(readDatabase()->cards[1].modeFlags & kModeAllowUpdate);
}

TEST_F(ValidationTest, ParametersPortIsAlwaysChecked) {
    clickTab("PageControl1", 4);
    ASSERT_FALSE(check("allowParamsUpdate")->isChecked());
    const QString warning = QStringLiteral("Неверные значения порта сервера параметров.");
    for (const char* bad : {"", "999", "abc"}) {
        type("portParamsEdit", QString::fromLatin1(bad));
        EXPECT_EQ(saveAndGetWarning(), warning) << bad;
    }
    type("portParamsEdit", QStringLiteral("1000"));
    expectAccepted("1000");
}

TEST_F(ValidationTest, BackupStationFieldsWhenSwitchedOn) {
    check("resPcnCheck")->setChecked(true);
    edit("Ip1ResEdit")->setText(QStringLiteral("1.2.3.4"));
    edit("Ip2ResEdit")->setText(QStringLiteral("1.2.3.5"));
    edit("Port1ResEdit")->setText(QStringLiteral("9000"));
    EXPECT_EQ(saveAndGetWarning(),
              QStringLiteral("Для работы дублирования на ПЦН необходимо заполнить все поля (IP адрес и порт для "
                             "каждой SIM карты)"));
    edit("Port2ResEdit")->setText(QStringLiteral("9001"));
    expectAccepted("all four filled");
}

TEST_F(ValidationTest, OnlyTheFirstFailingCheckIsShown) {
    type("CodeUoo", QStringLiteral("800"));       // check 6
    type("Port1GsmEdit", QStringLiteral("1"));    // check 5
    type("portParamsEdit", QStringLiteral("1"));  // check 11
    EXPECT_EQ(saveAndGetWarning(), QStringLiteral("Ошибочные данные в полях:\n\nПорт ТК (WAN1)\n") + kPortsTail);
    EXPECT_EQ(boxes.shown().size(), 1);
}

} // namespace
} // namespace k8w::test
