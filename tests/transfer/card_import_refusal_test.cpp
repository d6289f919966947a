// An import refuses what the main window refuses, with the window's text,
// and what breaks the limits of the record; it then changes nothing.
#include "generated_cards.h"

#include "common/cp1251.h"
#include "editor/card_import.h"

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

const QString kPorts = QStringLiteral(
    "Ошибочные данные в полях:\n\nПорт ТК (WAN1)\n\n\n*Номера портов должны быть от 5000 до 65535\n*PIN-коды "
    "должны быть 4х-значные");

struct Refusal {
    const char* json;  // rows 1 and 9000 hold cards of the generated set
    QString failure;
};

class CardImportRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CardImportRefusal, ListsTheReasonAndWritesNothing) {
    auto table = test::GeneratedCards(2);
    // A card of the window's making on row 1: no entry loop, no SMS, no balance, no update.
    Card& card = table->cards[0];
    std::memset(card.cordType, 1, 5);
    std::memset(card.cordPart, 0, 5);
    card.smsFlags = 0;
    card.balFlags = 0;
    card.modeFlags = 0;
    const auto before = std::make_unique<CardTable>(*table);
    const CardImportResult result = ImportCards(QByteArray(GetParam().json), *table, false, 47000);
    EXPECT_EQ(result.failures, QStringList{GetParam().failure});
    EXPECT_EQ(std::memcmp(before.get(), table.get(), sizeof(CardTable)), 0);
}

// The window's texts, check by check, then the record's limits and the file's form.
INSTANTIATE_TEST_SUITE_P(
    Refusals, CardImportRefusal,
    ::testing::Values(
        Refusal{R"([{"row": 1, "pin1": "", "apn2": ""}])",
                QStringLiteral("row 1: Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\nPIN1\n"
                               "Точка доступа 2\n")},
        Refusal{R"([{"row": 5, "cardNumber": "5", "pin1": "1234", "pin2": "1234"}])",
                QStringLiteral("row 5: Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\nКод УО\n")},
        Refusal{R"([{"row": 1, "cordType": [6, 6, 0, 0, 0]}])",
                QStringLiteral("row 1: Разрешается использовать только один управляющий шлейф на раздел! Проверьте "
                               "конфигурацию и убедитесь, что в каждом разделе только один управляющий шлейф")},
        Refusal{R"([{"row": 1, "cordType": [1, 1, 5, 0, 0]}])",
                QStringLiteral("row 1: Использование проходных шлейфов допускается ТОЛЬКО если первый шлейф "
                               "настроен как ВХОДНОЙ.")},
        Refusal{R"([{"row": 1, "balFlags": 1, "balCriticalLevel": 501}])",
                QStringLiteral("row 1: Задано неверное значение критического баланса SIM. Разрешается задавать "
                               "значения от 10 до 500р")},
        Refusal{R"([{"row": 1, "port1Gsm": "4999"}])", QStringLiteral("row 1: ") + kPorts},
        Refusal{R"([{"row": 1, "codeUoo": 800}])", QStringLiteral("row 1: Ошибочные данные в полях:\n\nКод УО\n\n\nВ зависимости от того на какой закладке \"АТС\" в программе ПЦН отображается ТК-700 доступны следующие диапазоны значений кода УО:\n\nАТС №0 (0 - 799); АТС №1(32000 - 32799); АТС №2(64000 - 64799); АТС №3(96000 - 96799); АТС №4(128000 - 128799); АТС №5(160000 - 160799); АТС №6(192000 - 192799); АТС №7(224000 - 224799); АТС №8(256000 - 256799); АТС №9(288000 - 288799);\n\nОткройте в базе ПЦН RIDU \"Кольвар\" карточку объекта или ресурсы выделенного КЦ (ТК-700) на нужной закладке АТС для уточнения правильного значения кода УО.")},
        // Row 9000 holds the code 32000 (the second generated card).
        Refusal{R"([{"row": 1, "codeUoo": 32000}])", QStringLiteral("row 1: Такой код УО уже есть в базе")},
        Refusal{R"([{"row": 1, "smsFlags": 1, "smsNumber1": ""}])",
                QStringLiteral("row 1: Неверные данные в полях:\n\nНомер 1 для отправки SMS\n\nВсе используемые номера "
                               "телефонов должны содержать 11 цифр и начинаться с 8")},
        Refusal{R"([{"row": 1, "cordType": [4, 1, 1, 1, 1], "timePass": 121}])",
                QStringLiteral("row 1: Задержка входного шлейфа должна бьть в интервале 0-120 сек.")},
        Refusal{R"([{"row": 1, "modeFlags": 16, "ipUpdate": ""}])",
                QStringLiteral("row 1: Неверные значения IP или порта сервера обновлений.")},
        Refusal{R"([{"row": 1, "portParams": "999"}])",
                QStringLiteral("row 1: Неверные значения порта сервера параметров.")},
        // Limits of the record and of the editor's lists.
        Refusal{R"([{"row": 1, "pin1": "12345"}])",
                QStringLiteral("row 1: pin1: a text of at most 4 characters is expected")},
        Refusal{R"([{"row": 1, "remark": "漢"}])",
                QStringLiteral("row 1: remark: \"漢\" holds a character the Cyrillic code page (CP1251) does not have")},
        Refusal{R"([{"row": 1, "codeUoo": "5"}])",
                QStringLiteral("row 1: codeUoo: a whole number from 0 to 999999999 is expected")},
        Refusal{R"([{"row": 1, "cordType": [5, 0, 0, 0, 0]}])",
                QStringLiteral("row 1: cordType: item 1 is not an index of its list")},
        Refusal{R"([{"row": 1, "relayProfile": [0, 0, 3]}])",
                QStringLiteral("row 1: relayProfile: item 3 is not an index of its list")},
        Refusal{R"([{"row": 1, "cordPart": [0, 4, 0, 0, 0]}])",
                QStringLiteral("row 1: cordPart: item 2 is not an index of its list")},
        Refusal{R"([{"row": 1, "cordType": [4, 1, 1, 1, 1], "cordPart": [2, 0, 0, 0, 0]}])",
                QStringLiteral("row 1: cordPart: with an entry loop 1, loop 1 and every pass-through or control "
                               "loop stay in partition 0")},
        Refusal{R"([{"row": 1, "smsFlags": 64}])",
                QStringLiteral("row 1: smsFlags: a bit set using only the bits of 0xbf is expected")},
        Refusal{R"([{"row": 1, "version": 1}])",
                QStringLiteral("row 1: version: a whole number from 0 to 0 is expected")},
        Refusal{R"([{"row": 1, "progDate": "2026-02-30T10:00:00"}])",
                QStringLiteral("row 1: progDate: a date as YYYY-MM-DDTHH:MM:SS or null is expected")},
        Refusal{R"([{"row": 1, "progId": "12G4"}])", QStringLiteral("row 1: progId: four hexadecimal digits are expected")},
        Refusal{R"([{"row": 1, "apn": "x"}])", QStringLiteral("row 1: apn: unknown member")},
        Refusal{R"([{"row": 1, "keys": [{"partition": 1, "slot": 1, "subscriber": 3, "code": "00112233445566", "date": null}]}])",
                QStringLiteral("row 1: keys: each key needs partition 1-4, slot 1-6, subscriber 1-32, code as 12 "
                               "hexadecimal digits and date (YYYY-MM-DDTHH:MM:SS or null)")},
        Refusal{R"([{"row": 1, "keys": [{"partition": 2, "slot": 1, "subscriber": 3, "code": "001122334455", "date": null}, {"partition": 2, "slot": 2, "subscriber": 3, "code": "001122334455", "date": null}]}])",
                QStringLiteral("row 1: keys: subscriber 3 holds two keys in partition 2")},
        // The file's form.
        Refusal{R"([{"row": 1}, {"row": 1}])", QStringLiteral("row 1: given twice")},
        Refusal{R"([{"row": 0}])", QStringLiteral("file: card 1 of the file has no \"row\" from 1 to 9000")},
        Refusal{R"({"format": "other", "cards": []})",
                QStringLiteral("file: not a card export (\"format\": \"k8w-cards\", \"version\": 1 and a \"cards\" "
                               "array are expected)")}));

TEST(CardImport, ListsEveryFailingRow) {
    auto table = test::GeneratedCards(2);
    const auto before = std::make_unique<CardTable>(*table);
    const CardImportResult result =
        ImportCards(R"([{"row": 1, "portParams": ""}, {"row": 9000, "pin2": "1", "objectName": 5}])", *table, false, 1);
    EXPECT_EQ(result.failures, (QStringList{QStringLiteral("row 9000: objectName: a text is expected"),
                                            QStringLiteral("row 1: Неверные значения порта сервера параметров.")}));
    EXPECT_EQ(std::memcmp(before.get(), table.get(), sizeof(CardTable)), 0);
}

TEST(CardImport, AFreeRowStartsFromTheTemplate) {
    auto table = test::GeneratedCards(2);
    const CardImportResult result = ImportCards(
        R"([{"row": 10, "codeUoo": 7, "pin1": "1234", "pin2": "5678", "cardNumber": "№10"}])", *table, false, 47000);
    ASSERT_EQ(result.failures, QStringList{});
    const Card& card = table->cards[9];
    EXPECT_EQ(+card.changeDate, 47000);
    EXPECT_EQ(+card.codeUoo, 7u);
    EXPECT_EQ(std::memcmp(card.apn1, table->cardTemplate.apn1, sizeof card.apn1), 0);
    EXPECT_EQ(+card.modeFlags, 0u);  // as the window shows a free row
    EXPECT_EQ(fieldText(card.cardNumber), QStringLiteral("№10"));
}

} // namespace
} // namespace k8w
