#include "editor/card_validation.h"

#include "cards/card_table.h"
#include "editor/editor_rules.h"

#include <algorithm>
#include <array>

namespace k8w {
namespace {

void addHintOnce(QString& list, const QString& hint) {
    if (!list.contains(hint)) list += hint + QLatin1Char('\n');
}

std::optional<QString> checkRequiredFields(const CardEditorValues& v) {
    QString list;
    if (v.cardNumber.isEmpty()) list += QStringLiteral("Номер карточки\n");
    if (v.codeUoo.isEmpty()) list += QStringLiteral("Код УО\n");
    for (const MainTabField& field : v.mainTabFields) {
        if (!field.plainEdit || !field.enabled || !field.text.isEmpty()) continue;
        if (field.name.contains(QStringLiteral("Login")) || field.name.contains(QStringLiteral("Pass")))
            continue;
        addHintOnce(list, field.hint);
    }
    if (list.isEmpty()) return std::nullopt;
    return QStringLiteral("Заполните ВСЕ необходимые поля перед сохранением!\nПропущенные поля:\n\n") + list;
}

std::optional<QString> checkControlLoops(const CardEditorValues& v) {
    std::array<int, 4> perPartition{};
    for (int loop = 0; loop < 5; ++loop) {
        const int part = v.cordPart[loop];
        if (v.cordType[loop] == kLoopControl && part >= 0 && part < 4 && ++perPartition[part] > 1)
            return QStringLiteral(
                "Разрешается использовать только один управляющий шлейф на раздел! Проверьте "
                "конфигурацию и убедитесь, что в каждом разделе только один управляющий шлейф");
    }
    return std::nullopt;
}

std::optional<QString> checkPassThroughLoops(const CardEditorValues& v) {
    int passThrough = 0;
    for (int loop = 1; loop < 5; ++loop) passThrough += v.cordType[loop] == kLoopPassThrough ? 1 : 0;
    if (passThrough >= 1 && v.cordType[0] != kLoopEntry)
        return QStringLiteral(
            "Использование проходных шлейфов допускается ТОЛЬКО если первый шлейф настроен как ВХОДНОЙ.");
    return std::nullopt;
}

std::optional<QString> checkCriticalBalance(const CardEditorValues& v) {
    if (!v.balEnable) return std::nullopt;
    const long long level = TextToIntDef(v.balCritical, -1);
    if (level >= 10 && level <= 500) return std::nullopt;
    return QStringLiteral(
        "Задано неверное значение критического баланса SIM. Разрешается задавать значения от 10 до 500р");
}

std::optional<QString> checkPortsAndPins(const CardEditorValues& v) {
    QString list;
    for (const MainTabField& field : v.mainTabFields) {
        if (!field.enabled) continue;
        const bool isPort = field.name.contains(QStringLiteral("Port"));
        if (!isPort && !field.name.contains(QStringLiteral("Pin"))) continue;
        // A sign would pass the number test ("-123", "+5000") but is no PIN
        // or port the device can use: only digits are accepted.
        const bool digitsOnly = std::all_of(field.text.begin(), field.text.end(),
                                            [](QChar c) { return c >= u'0' && c <= u'9'; });
        const bool bad = field.text.size() < 4 || !digitsOnly ||
                         TextToIntDef(field.text, 70000) > 65535 ||
                         (isPort && TextToIntDef(field.text, 4999) < 5000);
        if (bad) addHintOnce(list, field.hint);
    }
    if (list.isEmpty()) return std::nullopt;
    return QStringLiteral("Ошибочные данные в полях:\n\n") + list +
           QStringLiteral("\n\n*Номера портов должны быть от 5000 до 65535\n*PIN-коды должны быть 4х-значные");
}

std::optional<QString> checkCodeRange(const CardEditorValues& v) {
    const long long code = TextToIntDef(v.codeUoo, -1);
    if (code >= 0 && code < 10 * 32000 && code % 32000 <= 799) return std::nullopt;
    return QStringLiteral("Ошибочные данные в полях:\n\nКод УО\n") +
           QStringLiteral(
               "\n\nВ зависимости от того на какой закладке \"АТС\" в программе ПЦН отображается ТК-700 "
               "доступны следующие диапазоны значений кода УО:\n\nАТС №0 (0 - 799); АТС №1(32000 - 32799); "
               "АТС №2(64000 - 64799); АТС №3(96000 - 96799); АТС №4(128000 - 128799); АТС №5(160000 - "
               "160799); АТС №6(192000 - 192799); АТС №7(224000 - 224799); АТС №8(256000 - 256799); АТС "
               "№9(288000 - 288799);\n\nОткройте в базе ПЦН RIDU \"Кольвар\" карточку объекта или ресурсы "
               "выделенного КЦ (ТК-700) на нужной закладке АТС для уточнения правильного значения кода УО.");
}

std::optional<QString> checkUniqueCode(const CardEditorValues& v, const CodeTaken& codeTaken) {
    if (codeTaken(TextToIntDef(v.codeUoo, 10000))) return QStringLiteral("Такой код УО уже есть в базе");
    return std::nullopt;
}

bool isPhoneNumber(const QString& text) {
    return text.size() == 11 && text.front() == QLatin1Char('8');
}

std::optional<QString> checkPhoneNumbers(const CardEditorValues& v) {
    QString list;
    auto fail = [&list](const char16_t* hint) { list += QString::fromUtf16(hint) + QLatin1Char('\n'); };
    if (v.balEnable) {
        if (!v.balPhoneSim1.isEmpty() && !isPhoneNumber(v.balPhoneSim1))
            fail(u"Телефонный номер для отправки SMS о балансе на SIM 1");
        if (!v.balPhoneSim2.isEmpty() && !isPhoneNumber(v.balPhoneSim2))
            fail(u"Телефонный номер для отправки SMS о балансе на SIM 2");
    }
    if (v.sendSms1 && !isPhoneNumber(v.smsNumber1)) fail(u"Номер 1 для отправки SMS");
    if (v.sendSms2 && !isPhoneNumber(v.smsNumber2)) fail(u"Номер 2 для отправки SMS");
    if (list.isEmpty()) return std::nullopt;
    return QStringLiteral("Неверные данные в полях:\n\n") + list +
           QStringLiteral("\nВсе используемые номера телефонов должны содержать 11 цифр и начинаться с 8");
}

std::optional<QString> checkEntryDelay(const CardEditorValues& v) {
    if (!v.timePassEnabled) return std::nullopt;
    const long long delay = TextToIntDef(v.timePass, -1);
    if (delay >= 0 && delay <= 120) return std::nullopt;
    return QStringLiteral("Задержка входного шлейфа должна бьть в интервале 0-120 сек.");
}

std::optional<QString> checkUpdateServer(const CardEditorValues& v) {
    if (!v.allowUpdate) return std::nullopt;
    if (!v.ipUpdate.isEmpty() && TextToIntDef(v.portUpdate, 999) >= 1000) return std::nullopt;
    return QStringLiteral("Неверные значения IP или порта сервера обновлений.");
}

std::optional<QString> checkParamsPort(const CardEditorValues& v) {
    if (TextToIntDef(v.portParams, 999) >= 1000) return std::nullopt;
    return QStringLiteral("Неверные значения порта сервера параметров.");
}

std::optional<QString> checkBackupStation(const CardEditorValues& v) {
    if (!v.resPcn) return std::nullopt;
    if (!v.ip1Res.isEmpty() && !v.ip2Res.isEmpty() && !v.port1Res.isEmpty() && !v.port2Res.isEmpty())
        return std::nullopt;
    return QStringLiteral(
        "Для работы дублирования на ПЦН необходимо заполнить все поля (IP адрес и порт для каждой SIM карты)");
}

} // namespace

std::optional<QString> ValidateCardEditor(const CardEditorValues& values, const CardTable& table,
                                          int currentCard) {
    return ValidateCardEditor(values, [&table, currentCard](long long code) {
        for (int slot = 0; slot < kCardCapacity; ++slot) {
            const Card& card = table.cards[slot];
            if (slot == currentCard || !isCardInUse(card)) continue;
            if (static_cast<long long>(card.codeUoo) == code) return true;
        }
        return false;
    });
}

std::optional<QString> ValidateCardEditor(const CardEditorValues& values, const CodeTaken& codeTaken) {
    if (auto failure = checkRequiredFields(values)) return failure;
    if (auto failure = checkControlLoops(values)) return failure;
    if (auto failure = checkPassThroughLoops(values)) return failure;
    if (auto failure = checkCriticalBalance(values)) return failure;
    if (auto failure = checkPortsAndPins(values)) return failure;
    if (auto failure = checkCodeRange(values)) return failure;
    if (auto failure = checkUniqueCode(values, codeTaken)) return failure;
    if (auto failure = checkPhoneNumbers(values)) return failure;
    if (auto failure = checkEntryDelay(values)) return failure;
    if (auto failure = checkUpdateServer(values)) return failure;
    if (auto failure = checkParamsPort(values)) return failure;
    return checkBackupStation(values);
}

} // namespace k8w
