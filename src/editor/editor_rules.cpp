#include "editor/editor_rules.h"

namespace k8w {

bool ApplyLoopTypeRules(LoopSettings& loops) {
    const bool entry = loops.type[0] == kLoopEntry;
    // A separator line is never a valid choice.
    if (loops.type[0] == kLoopPassThrough) loops.type[0] = kLoopOff;
    for (int i = 1; i < kEditorLoops; ++i)
        if (loops.type[i] == kLoopEntry) loops.type[i] = kLoopOff;

    if (entry) {
        loops.part[0] = 0;
        for (int i = 1; i < kEditorLoops; ++i)
            if (loops.type[i] == kLoopPassThrough || loops.type[i] == kLoopControl) loops.part[i] = 0;
    } else {
        for (int i = 1; i < kEditorLoops; ++i)
            if (loops.type[i] == kLoopPassThrough) loops.type[i] = kLoopOff;
    }
    return entry;
}

void ApplyLoop1PartitionRule(LoopSettings& loops) {
    if (loops.type[0] == kLoopEntry) loops.part[0] = 0;
}

void ApplyPassThroughPartitionRule(LoopSettings& loops, int loop) {
    if (loop < 2 || loop > kEditorLoops) return;
    const int i = loop - 1;
    if (loops.part[i] != 0 && loops.type[i] == kLoopPassThrough) loops.part[i] = 0;
}

const std::array<ProfileText, 10> kOutputProfileTexts = {{
    {"Выключен", "Выход всегда находится в режиме «Выключен»"},
    {"Тревога Свет (общий)",
     "Когда все разделы без охраны выход находится в режиме «Выключен». Выход находится в режиме "
     "«Включен», когда любой раздел на охране и нет состояния тревоги. В состоянии «Тревога» в любом "
     "разделе, выход находится в режиме «Долгое мигание»."},
    {"Тревога Звук (общий)",
     "Выход находится в режиме «Выключен», если разделы сняты с охраны или находятся на охране без "
     "тревоги. Выход находится в режиме «Включен» на 4 минуты, если была «Тревога» в любом разделе. В "
     "состоянии «Тревога» выключение выхода до истечения таймера 4-х минут производится снятием "
     "раздела с охраны с ПЦН."},
    {"Пожар Свет (общий)",
     "При отсутствии состояния «Пожар» выход находится в режиме «Короткое мигание». В состоянии "
     "«Пожар» в любом разделе, выход находится в режиме «Долгое мигание»."},
    {"Пожар Звук (общий)",
     "При отсутствии состояния «Пожар» выход находится в режиме «Выключен». В состоянии «Пожар» в "
     "любом разделе выход находится в режиме «Включен» на 4 минуты."},
    {"Тревога + Пожар Свет (общий)",
     "Когда все разделы без охраны и нет состояния «Пожар», выход находится в режиме «Короткое "
     "мигание». Если на охране хотя бы 1 раздел, при отсутствии тревоги и пожара выход находится в "
     "режиме «Включен». В состояниях «Тревога» или «Пожар» в любом разделе, выход находится в режиме "
     "«Долгое мигание»."},
    {"Тревога + Пожар Звук (общий)",
     "При отсутствии состояния «Пожар» или когда разделы не под охраной, или когда разделы на охране "
     "без тревоги выход находится в режиме «Выключен». При переходе любого раздела в состояние «Пожар» "
     "или «Тревога» выход находится в режиме «Включен» на 4 минуты."},
    {"Изменение состояния охраны (общий)",
     "Если любой раздел под охраной - выход включен, все разделы без охраны - выключен"},
    {"КТС Свет (общий)",
     "При отсутствии состояния «Вызов КТС» во всех разделах, выход находится в режиме «Выключен». "
     "Если любой раздел в состоянии «Вызов КТС», выход находится в режиме «Долгое мигание»."},
    {"КТС Звук (общий)",
     "При отсутствии состояния «Вызов КТС» во всех разделах выход находится в режиме «Выключен». При "
     "вызове тревожной кнопкой в любом разделе выход включается на 4 минуты. Выключение выхода до "
     "истечения таймера 4-х минут возможно при получении от ПЦН команды Выключение идикации КТС."},
}};

const std::array<ProfileText, 3> kBuzzerProfileTexts = {{
    {"Выключен", "Зуммер всегда выключен"},
    {"Вход/Выход (моно)",
     "Включен, пока идет отсчет задержки на вход или выход. Выключается по истечении времени работы "
     "таймера, или снятии с охраны"},
    {"Вход/Выход (пульс)",
     "Кратковременно включается раз в секунду, пока идет отсчет задержки на вход или выход. "
     "Выключается по истечении времени работы таймера, или снятии с охраны"},
}};

QString ProfileDescription(bool buzzer, int index) {
    if (index < 0) return {};
    if (buzzer) {
        if (index >= static_cast<int>(kBuzzerProfileTexts.size())) return {};
        return QString::fromUtf8(kBuzzerProfileTexts[static_cast<std::size_t>(index)].description);
    }
    if (index >= static_cast<int>(kOutputProfileTexts.size())) return {};
    return QString::fromUtf8(kOutputProfileTexts[static_cast<std::size_t>(index)].description);
}

long long TextToIntDef(const QString& text, long long fallback) {
    const qsizetype start =
        text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (text.size() == start) return fallback;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) return fallback;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

} // namespace k8w
