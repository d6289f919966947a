#include "editor/card_validation.h"

#include "cards/card_table.h"

#include <gtest/gtest.h>

namespace k8w {
namespace {

const QString kRequired = QStringLiteral("Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\n");
const QString kBadFields = QStringLiteral("Ошибочные данные в полях:\n\n");
const QString kPortsTail =
    QStringLiteral("\n\n*Номера портов должны быть от 5000 до 65535\n*PIN-коды должны быть 4х-значные");

// The "Основные" tab as the window builds it, in creation order.
QList<MainTabField> mainTab() {
    return {
        {QStringLiteral("Pin1Edit"), QStringLiteral("PIN1"), QStringLiteral("1234")},
        {QStringLiteral("Ip1GsmEdit"), QStringLiteral("IP Адрес ТК (WAN1)"), QStringLiteral("10.0.0.1")},
        {QStringLiteral("Port1GsmEdit"), QStringLiteral("Порт ТК (WAN1)"), QStringLiteral("5000")},
        {QStringLiteral("APN1Edit"), QStringLiteral("Точка доступа 1"), QStringLiteral("internet")},
        {QStringLiteral("LoginGsm1Edit"), QString(), QString()},
        {QStringLiteral("PassGsm1Edit"), QString(), QString()},
        {QStringLiteral("Pin2Edit"), QStringLiteral("PIN2"), QStringLiteral("0000")},
        {QStringLiteral("Ip2GsmEdit"), QStringLiteral("IP Адрес ТК (WAN2)"), QStringLiteral("10.0.0.2")},
        {QStringLiteral("PassGsm2Edit"), QString(), QString()},
        {QStringLiteral("LoginGsm2Edit"), QString(), QString()},
        {QStringLiteral("APN2Edit"), QStringLiteral("Точка доступа 2"), QStringLiteral("internet")},
        {QStringLiteral("Port2GsmEdit"), QStringLiteral("Порт ТК (WAN2)"), QStringLiteral("65535")},
        {QStringLiteral("UseSim1"), QString(), QString(), true, false},
    };
}

MainTabField& field(CardEditorValues& v, const char* name) {
    for (MainTabField& f : v.mainTabFields)
        if (f.name == QLatin1String(name)) return f;
    throw std::logic_error(name);
}

class CardValidation : public ::testing::Test {
protected:
    std::unique_ptr<CardTable> table = CardTable::create();
    CardEditorValues v;
    int current = 3;

    void SetUp() override {
        v.cardNumber = QStringLiteral("A-1");
        v.codeUoo = QStringLiteral("100");
        v.mainTabFields = mainTab();
        v.cordType[0] = 1;
        v.balEnable = false;
        v.timePassEnabled = false;
        v.portParams = QStringLiteral("1000");
    }
    std::optional<QString> check() const { return ValidateCardEditor(v, *table, current); }
    bool passes() const { return !check().has_value(); }
};

TEST_F(CardValidation, ACompleteCardPasses) { EXPECT_EQ(check(), std::nullopt); }

TEST_F(CardValidation, RequiredFieldsAreListedInOrderOnce) {
    v.cardNumber.clear();
    v.codeUoo.clear();
    for (MainTabField& f : v.mainTabFields)
        if (f.plainEdit) f.text.clear();
    EXPECT_EQ(check(), kRequired + QStringLiteral(
                                       "Номер карточки\nКод УО\nPIN1\nIP Адрес ТК (WAN1)\nПорт ТК (WAN1)\n"
                                       "Точка доступа 1\nPIN2\nIP Адрес ТК (WAN2)\nТочка доступа 2\n"
                                       "Порт ТК (WAN2)\n"));
}

TEST_F(CardValidation, DisabledBlankAndLoginFieldsAreNotRequired) {
    field(v, "Pin2Edit").text.clear();
    field(v, "Pin2Edit").enabled = false;
    field(v, "APN1Edit").text = QStringLiteral(" ");
    EXPECT_TRUE(passes());
    field(v, "Ip2GsmEdit").text.clear();
    EXPECT_EQ(check(), kRequired + QStringLiteral("IP Адрес ТК (WAN2)\n"));
}

TEST_F(CardValidation, EmptySimFieldsNeverReachThePortCheck) {
    field(v, "Port1GsmEdit").text.clear();
    field(v, "Pin1Edit").text = QStringLiteral("12");  // would fail the port check too
    EXPECT_EQ(check(), kRequired + QStringLiteral("Порт ТК (WAN1)\n"));
}

TEST_F(CardValidation, OneControlLoopPerPartition) {
    v.cordType[1] = 6;
    v.cordType[3] = 6;
    v.cordPart[1] = 0;
    v.cordPart[3] = 1;
    EXPECT_TRUE(passes());
    v.cordPart[3] = 0;
    ASSERT_TRUE(check().has_value());
    EXPECT_TRUE(check()->startsWith(QStringLiteral("Разрешается использовать только один управляющий шлейф")));
}

TEST_F(CardValidation, PassThroughLoopsNeedAnEntryLoopOne) {
    v.cordType[2] = 5;
    EXPECT_EQ(check(), QStringLiteral("Использование проходных шлейфов допускается ТОЛЬКО если первый шлейф "
                                      "настроен как ВХОДНОЙ."));
    v.cordType[0] = 4;
    v.timePassEnabled = true;
    v.timePass = QStringLiteral("30");
    EXPECT_TRUE(passes());
}

TEST_F(CardValidation, CriticalBalanceFromTenToFiveHundredWhenChecked) {
    v.balCritical = QStringLiteral("abc");
    EXPECT_TRUE(passes());
    v.balEnable = true;
    for (const char* bad : {"9", "501", "", "abc"}) {
        v.balCritical = QString::fromLatin1(bad);
        EXPECT_EQ(check(), QStringLiteral("Задано неверное значение критического баланса SIM. Разрешается "
                                          "задавать значения от 10 до 500р"))
            << bad;
    }
    for (const char* good : {"10", "500"}) {
        v.balCritical = QString::fromLatin1(good);
        EXPECT_TRUE(passes()) << good;
    }
}

TEST_F(CardValidation, PortsAndPinsBoundaries) {
    for (const char* good : {"5000", "65535"}) {
        field(v, "Port1GsmEdit").text = QString::fromLatin1(good);
        EXPECT_TRUE(passes()) << good;
    }
    for (const char* bad : {"4999", "65536", "5e03", "+5000"}) {
        field(v, "Port1GsmEdit").text = QString::fromLatin1(bad);
        EXPECT_EQ(check(), kBadFields + QStringLiteral("Порт ТК (WAN1)\n") + kPortsTail) << bad;
    }
    field(v, "Port1GsmEdit").text = QStringLiteral("5000");
    for (const char* bad : {"123", "12a4", "1 23", "-123", "+123"}) {
        field(v, "Pin2Edit").text = QString::fromLatin1(bad);
        EXPECT_EQ(check(), kBadFields + QStringLiteral("PIN2\n") + kPortsTail) << bad;
    }
    field(v, "Pin2Edit").text = QStringLiteral("0000");
    EXPECT_TRUE(passes());
    field(v, "Pin1Edit").text = QStringLiteral("123");
    field(v, "Port2GsmEdit").text = QStringLiteral("70000");
    field(v, "Port2GsmEdit").enabled = false;  // a disabled SIM 2 is not checked
    EXPECT_EQ(check(), kBadFields + QStringLiteral("PIN1\n") + kPortsTail);
}

TEST_F(CardValidation, DeviceCodeRanges) {
    for (const char* good : {"0", "799", "32000", "32799", "288000", "288799"}) {
        v.codeUoo = QString::fromLatin1(good);
        EXPECT_TRUE(passes()) << good;
    }
    for (const char* bad : {"800", "31999", "288800", "320000", "-1", "12a"}) {
        v.codeUoo = QString::fromLatin1(bad);
        ASSERT_TRUE(check().has_value()) << bad;
        EXPECT_TRUE(check()->startsWith(kBadFields + QStringLiteral("Код УО\n\n\nВ зависимости"))) << bad;
        EXPECT_TRUE(check()->endsWith(QStringLiteral("для уточнения правильного значения кода УО."))) << bad;
    }
}

TEST_F(CardValidation, DeviceCodeMustBeUniqueAmongOtherCardsInUse) {
    table->cards[current].codeUoo = 100;
    table->cards[current].changeDate = 46000;
    EXPECT_TRUE(passes());  // the card's own code

    table->cards[8999].codeUoo = 100;  // a free slot does not count
    EXPECT_TRUE(passes());
    table->cards[8999].changeDate = 46001;
    EXPECT_EQ(check(), QStringLiteral("Такой код УО уже есть в базе"));
    table->cards[8999] = Card{};  // deleted
    EXPECT_TRUE(passes());
}

TEST_F(CardValidation, PhoneNumbersHaveElevenCharactersStartingWithEight) {
    const QString tail =
        QStringLiteral("\nВсе используемые номера телефонов должны содержать 11 цифр и начинаться с 8");
    v.sendSms1 = true;
    EXPECT_EQ(check(), QStringLiteral("Неверные данные в полях:\n\nНомер 1 для отправки SMS\n") + tail);
    v.smsNumber1 = QStringLiteral("89001234567");
    EXPECT_TRUE(passes());
    v.smsNumber1 = QStringLiteral("79001234567");
    v.balEnable = true;
    v.balCritical = QStringLiteral("10");
    v.balPhoneSim2 = QStringLiteral("8900");
    v.sendSms2 = true;
    v.smsNumber2 = QStringLiteral("8900123456x");  // only length and first character count
    EXPECT_EQ(check(), QStringLiteral("Неверные данные в полях:\n\nТелефонный номер для отправки SMS о балансе "
                                      "на SIM 2\nНомер 1 для отправки SMS\n") +
                           tail);
    v.smsNumber1 = QStringLiteral("89001234567");
    v.balPhoneSim2.clear();  // an empty balance phone passes
    EXPECT_TRUE(passes());
}

TEST_F(CardValidation, EntryDelayOnlyWhenTheFieldIsEnabled) {
    v.timePass = QStringLiteral("500");
    EXPECT_TRUE(passes());
    v.timePassEnabled = true;
    for (const char* good : {"0", "120"}) {
        v.timePass = QString::fromLatin1(good);
        EXPECT_TRUE(passes()) << good;
    }
    for (const char* bad : {"121", "-1", ""}) {
        v.timePass = QString::fromLatin1(bad);
        EXPECT_EQ(check(), QStringLiteral("Задержка входного шлейфа должна бьть в интервале 0-120 сек.")) << bad;
    }
}

TEST_F(CardValidation, UpdateServerAndParametersPort) {
    const QString update = QStringLiteral("Неверные значения IP или порта сервера обновлений.");
    v.allowUpdate = true;
    v.portUpdate = QStringLiteral("1000");
    EXPECT_EQ(check(), update);  // no address
    v.ipUpdate = QStringLiteral("update.host");
    EXPECT_TRUE(passes());
    v.portUpdate = QStringLiteral("999");
    EXPECT_EQ(check(), update);
    v.allowUpdate = false;
    EXPECT_TRUE(passes());

    v.portParams.clear();  // checked even with remote parameter control off
    EXPECT_EQ(check(), QStringLiteral("Неверные значения порта сервера параметров."));
    v.portParams = QStringLiteral("999");
    EXPECT_EQ(check(), QStringLiteral("Неверные значения порта сервера параметров."));
}

TEST_F(CardValidation, BackupStationNeedsAllFourFieldsWhenOn) {
    v.resPcn = true;
    v.ip1Res = QStringLiteral("1.1.1.1");
    v.ip2Res = QStringLiteral("2.2.2.2");
    v.port1Res = QStringLiteral("1");
    EXPECT_EQ(check(), QStringLiteral("Для работы дублирования на ПЦН необходимо заполнить все поля (IP адрес и "
                                      "порт для каждой SIM карты)"));
    v.port2Res = QStringLiteral("2");
    EXPECT_TRUE(passes());
}

TEST_F(CardValidation, OnlyTheFirstFailingCheckIsReported) {
    v.cordType[2] = 5;                 // check 3
    v.codeUoo = QStringLiteral("900");  // check 6
    v.portParams.clear();              // check 11
    EXPECT_TRUE(check()->startsWith(QStringLiteral("Использование проходных")));
}

} // namespace
} // namespace k8w
