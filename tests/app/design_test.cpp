// The window as designed: kinds, captions, hints, text limits and item lists
// of its controls, checked one by one.
#include "window_test_support.h"

#include <QStatusBar>

#include "common/day_date.h"
#include "editor/editor_rules.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

namespace k8w::test {
namespace {

using DesignTest = WindowTest;

TEST_F(DesignTest, TextFieldsTakeAtMostTheirCardFieldSizeMinusOne) {
    open();
    const std::pair<const char*, int> limits[] = {
        {"NCardEdit", 10},     {"Edit1", 99},          {"FIOEdit", 99},         {"RemarkEdit", 39},
        {"CodeUoo", 9},        {"Pin1Edit", 4},        {"Pin2Edit", 4},         {"Ip1GsmEdit", 24},
        {"Ip2GsmEdit", 24},    {"Port1GsmEdit", 5},    {"Port2GsmEdit", 5},     {"APN1Edit", 24},
        {"APN2Edit", 24},      {"LoginGsm1Edit", 19},  {"LoginGsm2Edit", 19},   {"PassGsm1Edit", 19},
        {"PassGsm2Edit", 19},  {"PUK1_Edit", 19},      {"PUK2_Edit", 19},       {"Number1_Edit", 14},
        {"Number2_Edit", 14},  {"SIM_ID1_Edit", 24},   {"SIM_ID2_Edit", 24},    {"ipUpdateEdit", 18},
        {"portUpdateEdit", 5}, {"portParamsEdit", 5},  {"balCodeSim1", 11},     {"balCodeSim2", 11},
        {"smsNumber1Edit", 11}, {"smsNumber2Edit", 11}, {"smsObjNameEdit", 10}, {"balCritical", 3},
        {"timePassEdit", 3},   {"balPhoneSim1", 11},   {"balPhoneSim2", 11},    {"Ip1ResEdit", 15},
        {"Port1ResEdit", 5},   {"Ip2ResEdit", 15},     {"Port2ResEdit", 5},
    };
    for (const auto& [name, limit] : limits) EXPECT_EQ(edit(name)->maxLength(), limit) << name;
    EXPECT_TRUE(edit("ProgID1")->isReadOnly());
    EXPECT_TRUE(edit("ProgID2")->isReadOnly());
}

TEST_F(DesignTest, FieldsNamedInWarningsCarryTheirHints) {
    open();
    const std::pair<const char*, const char16_t*> hints[] = {
        {"NCardEdit", u"Номер карточки"},
        {"CodeUoo", u"Код УО"},
        {"Pin1Edit", u"PIN1"},
        {"Ip1GsmEdit", u"IP Адрес ТК (WAN1)"},
        {"Port1GsmEdit", u"Порт ТК (WAN1)"},
        {"APN1Edit", u"Точка доступа 1"},
        {"Pin2Edit", u"PIN2"},
        {"Ip2GsmEdit", u"IP Адрес ТК (WAN2)"},
        {"APN2Edit", u"Точка доступа 2"},
        {"Port2GsmEdit", u"Порт ТК (WAN2)"},
        {"balPhoneSim1", u"Телефонный номер для отправки SMS о балансе на SIM 1"},
        {"balPhoneSim2", u"Телефонный номер для отправки SMS о балансе на SIM 2"},
        {"smsNumber1Edit", u"Номер 1 для отправки SMS"},
        {"smsNumber2Edit", u"Номер 2 для отправки SMS"},
        {"LoginGsm1Edit", u""},
        {"LoginGsm2Edit", u""},
        {"PassGsm1Edit", u""},
        {"PassGsm2Edit", u""},
    };
    for (const auto& [name, hint] : hints)
        EXPECT_EQ(find(name)->toolTip(), QString::fromUtf16(hint)) << name;
    EXPECT_EQ(find("UseSim1")->toolTip(), QStringLiteral("Использовать 1ю SIM карту"));
    EXPECT_EQ(find("UseSim2")->toolTip(), QStringLiteral("Использовать 2ю SIM карту"));
    EXPECT_EQ(find("partSupportCheck")->toolTip(),
              QStringLiteral("Внимание! При включенной поддержке разделов УО работает по протоколу КО. "
                             "При этом код УО должен быть в диапазоне 32000-64000, и быть кратным 32."));
}

TEST_F(DesignTest, MainTabFieldsAreCreatedInTheirOrder) {
    open();
    QStringList edits;
    for (QObject* child : find("MainGSM_Sheet")->children())
        if (qobject_cast<QLineEdit*>(child)) edits << child->objectName();
    EXPECT_EQ(edits, (QStringList{QStringLiteral("Pin1Edit"), QStringLiteral("Ip1GsmEdit"),
                                  QStringLiteral("Port1GsmEdit"), QStringLiteral("APN1Edit"),
                                  QStringLiteral("LoginGsm1Edit"), QStringLiteral("PassGsm1Edit"),
                                  QStringLiteral("Pin2Edit"), QStringLiteral("Ip2GsmEdit"),
                                  QStringLiteral("PassGsm2Edit"), QStringLiteral("LoginGsm2Edit"),
                                  QStringLiteral("APN2Edit"), QStringLiteral("Port2GsmEdit")}));
    EXPECT_EQ(find("UseSim1")->parent(), find("MainGSM_Sheet"));
    EXPECT_EQ(find("UseSim2")->parent(), find("MainGSM_Sheet"));
}

TEST_F(DesignTest, CaptionsOfGroupsButtonsAndCheckBoxes) {
    open();
    const std::pair<const char*, const char16_t*> groups[] = {
        {"GroupBox1", u"Текущие настройки"},  {"GroupBox2", u"Шлейфы"},
        {"GroupBox3", u"Настройки Ethernet"}, {"GroupBox4", u"Режим работы"},
        {"GroupBox5", u"Настройки сети"},     {"GroupBox6", u"Дополнительная информация"},
        {"GroupBox7", u"Выходы УОО"},
    };
    for (const auto& [name, title] : groups)
        EXPECT_EQ(find<QGroupBox>(name)->title(), QString::fromUtf16(title)) << name;

    const std::pair<const char*, const char16_t*> buttons[] = {
        {"BitBtn1", u"Включить редактирование"},
        {"BitBtn2", u"Сохранить изменения"},
        {"BitBtn3", u"Удалить запись"},
        {"ExitBtn", u"Выход"},
        {"ProgBtn", u"Программировать"},
        {"SpeedButton1", u"Считать"},
        {"ctrlWinBtn", u"Контроль аппаратуры"},
        {"keysWinBtn", u"Привязка ключей к разделам"},
        {"SpeedButton2", u"Новый MAC адрес"},
        {"defaultUpdSettings", u"Настройки по-умолчанию"},
    };
    for (const auto& [name, text] : buttons)
        EXPECT_EQ(find<QAbstractButton>(name)->text(), QString::fromUtf16(text)) << name;
    EXPECT_NE(find<QToolButton>("SpeedButton3"), nullptr);

    const std::pair<const char*, const char16_t*> checks[] = {
        {"IndicZU", u"Выключить мигание индикатора СТМ"},
        {"oneColorIndicCheck", u"Одноцветная индикация на СТМ"},
        {"powerCtrlOffCheck", u"Выключить контроль 220В"},
        {"caseCtrlOffCheck", u"Выключить контроль открытия крышки"},
        {"use1961Check", u"Использовать ключи DS1961S (защищенные)"},
        {"sendNewMsgCheck", u"Отправлять Низкий уровень сигнала и Рестарт модема"},
        {"allowUpdateCheck", u"Разрешить автоматическое обновление прошивки"},
        {"allowParamsUpdate", u"Разрешить удаленное управление параметрами"},
        {"partSupportCheck", u"Включить поддержку разделов"},
        {"balEnable", u"Включить проверку баланса SIM карт"},
        {"balSendPcnCheck", u"Автоматическое извещение о критическом балансе"},
        {"UseSim1", u"ВКЛ"},
        {"UseSim2", u"ВКЛ"},
    };
    for (const auto& [name, text] : checks) EXPECT_EQ(check(name)->text(), QString::fromUtf16(text)) << name;

    // The six option check boxes of "Режим работы", in this order, and no other visible one.
    QStringList options;
    for (QObject* child : find("GroupBox4")->children())
        if (auto* box = qobject_cast<QCheckBox*>(child); box && box->isVisible()) options << box->objectName();
    EXPECT_EQ(options, (QStringList{QStringLiteral("IndicZU"), QStringLiteral("oneColorIndicCheck"),
                                    QStringLiteral("powerCtrlOffCheck"), QStringLiteral("caseCtrlOffCheck"),
                                    QStringLiteral("use1961Check"), QStringLiteral("sendNewMsgCheck")}));
}

// The visible label of `parent` with this text, or nullptr.
QLabel* labelWithText(QWidget* parent, const QString& text) {
    for (QLabel* label : parent->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

TEST_F(DesignTest, LabelsOfTheEditor) {
    open();
    QWidget* editor = find("GroupBox1");
    for (const char16_t* text : {u"ВЕРСИЯ УО", u"Код УО", u"Имя карточки в базе ПЦН", u"Шлейф 1", u"Шлейф 2",
                                 u"Шлейф 3", u"Шлейф 4", u"Шлейф 5", u"Время задержки на входной шлейф", u"сек",
                                 u"Объект", u"Адрес", u"Примечание", u"Результат программирования (ID)",
                                 u"Предыдущий результат программирования (ID)"}) {
        QLabel* label = labelWithText(editor, QString::fromUtf16(text));
        ASSERT_NE(label, nullptr) << QString::fromUtf16(text).toStdString();
        EXPECT_TRUE(label->isVisible()) << QString::fromUtf16(text).toStdString();
    }
    for (const char16_t* text : {u"Шлейф 6", u"Шлейф 7", u"Шлейф 8", u"Раздел"}) {
        QLabel* label = labelWithText(editor, QString::fromUtf16(text));
        ASSERT_NE(label, nullptr) << QString::fromUtf16(text).toStdString();
        EXPECT_FALSE(label->isVisible()) << QString::fromUtf16(text).toStdString();
    }
    EXPECT_EQ(find<QLabel>("Label63")->text(), QStringLiteral("Раздел"));
    for (const char* page : {"Out1Sheet", "Out2Sheet", "BuzzerSheet"})
        EXPECT_NE(labelWithText(find(page), QStringLiteral("Профиль:")), nullptr) << page;
}

TEST_F(DesignTest, ItemListsOfEveryChoice) {
    open();
    auto items = [this](const char* name) {
        QStringList list;
        QComboBox* c = combo(name);
        for (int i = 0; i < c->count(); ++i) list << c->itemText(i);
        return list;
    };
    const QStringList loop1{QStringLiteral("Отключен"), QStringLiteral("Охранный шлейф"),
                            QStringLiteral("Пожарный шлейф"), QStringLiteral("Шлейф КТС"),
                            QStringLiteral("Входной охранный шлейф"), QStringLiteral("---------------------"),
                            QStringLiteral("Управляющий шлейф")};
    const QStringList otherLoops{QStringLiteral("Отключен"), QStringLiteral("Охранный шлейф"),
                                 QStringLiteral("Пожарный шлейф"), QStringLiteral("Шлейф КТС"),
                                 QStringLiteral("---------------------------"),
                                 QStringLiteral("Проходной охранный шлейф"), QStringLiteral("Управляющий шлейф")};
    EXPECT_EQ(items("Cord1"), loop1);
    for (const char* name : {"Cord2", "Cord3", "Cord4", "Cord5", "Cord6", "Cord7", "Cord8"})
        EXPECT_EQ(items(name), otherLoops) << name;
    for (const char* name : {"Cord1", "Cord2", "Cord3", "Cord4", "Cord5", "Cord6", "Cord7", "Cord8"})
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    for (const char* name : {"Cord1Part", "Cord2Part", "Cord3Part", "Cord4Part", "Cord5Part"}) {
        EXPECT_EQ(items(name), (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                            QStringLiteral("3")}))
            << name;
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    }
    QStringList outputs;
    for (const ProfileText& p : kOutputProfileTexts) outputs << QString::fromUtf8(p.item);
    EXPECT_EQ(outputs.first(), QStringLiteral("Выключен"));
    EXPECT_EQ(outputs.last(), QStringLiteral("КТС Звук (общий)"));
    EXPECT_EQ(items("RelayComboBox1"), outputs);
    EXPECT_EQ(items("RelayComboBox2"), outputs);
    EXPECT_EQ(items("RelayComboBox3"), (QStringList{QStringLiteral("Выключен"), QStringLiteral("Вход/Выход (моно)"),
                                                    QStringLiteral("Вход/Выход (пульс)")}));
    EXPECT_EQ(items("VersionCombo"), QStringList{QStringLiteral("55.01")});
    EXPECT_EQ(find("RelayComboBox1")->parent(), find("Out1Sheet"));
    EXPECT_EQ(find("RelayComboBox2")->parent(), find("Out2Sheet"));
    EXPECT_EQ(find("RelayComboBox3")->parent(), find("BuzzerSheet"));
}

TEST_F(DesignTest, DatesAtMidnightAreShownWithoutTheTime) {
    Card c = usedCard(100, QStringLiteral("A"), QStringLiteral("B"), 45000.0);
    c.progDate = 45001.0;
    table->cards[0] = c;
    table->cards[1] = usedCard(200, QStringLiteral("C"), QStringLiteral("D"), 45000.5);
    writeDatabase(*table);
    open();
    const QString date = QLocale().toString(fromDayDate(45000.0).date(), QLocale::ShortFormat);
    EXPECT_EQ(cell(1, 4), date);
    EXPECT_EQ(cell(1, 5), QLocale().toString(fromDayDate(45001.0).date(), QLocale::ShortFormat));
    EXPECT_EQ(cell(2, 4), dayDateLocaleText(45000.5)) << "other moments keep their time";
    EXPECT_NE(cell(2, 4), QLocale().toString(fromDayDate(45000.5).date(), QLocale::ShortFormat));
}

TEST_F(DesignTest, KeyboardSelectionOfAGridRowShowsItsCard) {
    table->cards[1] = usedCard(200, QStringLiteral("C"), QStringLiteral("Второй"));
    writeDatabase(*table);
    open();
    auto* grid = find<QTableView>("SetsGrid");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(window().currentCardIndex(), 1);
    EXPECT_EQ(window().searchRowValue(), 2);
    EXPECT_EQ(edit("Edit1")->text(), QStringLiteral("Второй"));
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(window().currentCardIndex(), 0);
    EXPECT_TRUE(edit("CodeUoo")->text().isEmpty());
}

TEST_F(DesignTest, FixedWindowWithMinimiseButtonOnly) {
    TForm1& w = open();
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.minimumSize(), QSize(974, 602));
    EXPECT_EQ(w.maximumSize(), QSize(974, 602));
}

TEST_F(DesignTest, KeyTableButtonFollowsPartitionSupportOfTheCardAndEditingMode) {
    Card c = usedCard(32000, QStringLiteral("P"), QStringLiteral("Разделы"));
    c.modeFlags = kModePartSupport;
    table->cards[0] = c;
    writeDatabase(*table);
    open();
    EXPECT_TRUE(find("keysWinBtn")->isEnabled());
    EXPECT_TRUE(check("partSupportCheck")->isChecked());
    startEditing();
    EXPECT_FALSE(find("keysWinBtn")->isEnabled());
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");
    EXPECT_TRUE(find("keysWinBtn")->isEnabled());
    clickRow(2);
    EXPECT_FALSE(find("keysWinBtn")->isEnabled()) << "a free slot";
}

TEST_F(DesignTest, EditingModeLeavesTheRuleLockedFieldsAlone) {
    open();
    // A new card: no SMS, no update, no balance check, loop 1 not an entry loop.
    for (const char* name : {"smsNumber1Edit", "smsNumber2Edit", "smsGuardModeCheck", "ipUpdateEdit",
                             "portUpdateEdit", "balCritical", "balSendPcnCheck", "timePassEdit", "Cord1Part"})
        ASSERT_TRUE(find(name)->testAttribute(Qt::WA_ForceDisabled)) << name;
    startEditing();
    for (const char* name : {"smsNumber1Edit", "smsNumber2Edit", "smsGuardModeCheck", "ipUpdateEdit",
                             "portUpdateEdit", "balCritical", "balSendPcnCheck", "timePassEdit", "Cord1Part"})
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    for (const char* name : {"smsObjNameEdit", "saveSMSCheck", "portParamsEdit", "defaultUpdSettings",
                             "sendSMS1Check", "balEnable", "allowUpdateCheck", "Pin1Edit", "Cord1", "CodeUoo"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
}

TEST_F(DesignTest, ShowingACardRunsTheRulesOverIt) {
    Card a = usedCard(100, QStringLiteral("A"), QStringLiteral("Без входного"));
    a.cordType[0] = 1;
    a.cordType[2] = 5;  // pass-through without an entry loop 1
    a.cordType[3] = 6;
    a.cordPart[3] = 2;  // partitions without partition support
    a.smsFlags = kSmsToNumber1;
    a.modeFlags = 0;
    table->cards[0] = a;
    Card b = usedCard(200, QStringLiteral("B"), QStringLiteral("Входной"));
    b.cordType[0] = 4;
    b.cordType[1] = 5;
    b.cordPart[0] = 3;
    b.cordPart[1] = 1;
    b.modeFlags = kModePartSupport | kModeAllowUpdate;
    b.balFlags = kBalEnable;
    table->cards[1] = b;
    writeDatabase(*table);
    open();
    // The editor is locked while viewing; what the rules decided is each
    // control's own state.
    auto itselfEnabled = [this](const char* name) { return !find(name)->testAttribute(Qt::WA_ForceDisabled); };
    EXPECT_EQ(combo("Cord3")->currentIndex(), 0) << "pass-through needs an entry loop";
    EXPECT_EQ(combo("Cord4")->currentIndex(), 6);
    EXPECT_EQ(combo("Cord4Part")->currentIndex(), 0) << "partition support off";
    EXPECT_FALSE(itselfEnabled("Cord4Part"));
    EXPECT_FALSE(itselfEnabled("timePassEdit"));
    EXPECT_TRUE(itselfEnabled("smsNumber1Edit"));
    EXPECT_FALSE(itselfEnabled("smsNumber2Edit"));
    EXPECT_TRUE(itselfEnabled("smsAlarmCheck"));
    EXPECT_FALSE(itselfEnabled("ipUpdateEdit"));
    EXPECT_FALSE(itselfEnabled("balCritical"));
    EXPECT_TRUE(itselfEnabled("Pin2Edit"));

    clickRow(2);
    EXPECT_EQ(combo("Cord2")->currentIndex(), 5);
    EXPECT_EQ(combo("Cord1Part")->currentIndex(), 0) << "an entry loop stays in partition 0";
    EXPECT_EQ(combo("Cord2Part")->currentIndex(), 0) << "so does a pass-through loop";
    EXPECT_TRUE(itselfEnabled("Cord2Part"));
    EXPECT_TRUE(itselfEnabled("timePassEdit"));
    EXPECT_FALSE(itselfEnabled("smsNumber1Edit"));
    EXPECT_FALSE(itselfEnabled("smsAlarmCheck"));
    EXPECT_TRUE(itselfEnabled("ipUpdateEdit"));
    EXPECT_TRUE(itselfEnabled("balCritical"));
    EXPECT_TRUE(itselfEnabled("balSendPcnCheck"));
}

TEST_F(DesignTest, StoredChoicesBeyondTheListsShowTheFirstItemAndAreSavedSo) {
    Card c = usedCard(100, QStringLiteral("A"), QStringLiteral("Порченая"));
    c.cordType[1] = 9;
    c.cordPart[2] = 7;
    c.relayProfile[0] = 10;
    c.relayProfile[2] = 3;
    c.modeFlags = kModePartSupport;
    table->cards[0] = c;
    writeDatabase(*table);
    open();
    EXPECT_EQ(combo("Cord2")->currentIndex(), 0);
    EXPECT_EQ(combo("Cord3Part")->currentIndex(), 0);
    EXPECT_EQ(combo("RelayComboBox1")->currentIndex(), 0);
    EXPECT_EQ(combo("RelayComboBox3")->currentIndex(), 0);
    EXPECT_EQ(find<QLabel>("Label40")->text(), QStringLiteral("Выход всегда находится в режиме «Выключен»"));
    startEditing();
    ASSERT_TRUE(saveAndGetWarning().isEmpty());
    const Card& saved = window().cardTable().cards[0];
    EXPECT_EQ(saved.cordType[1], 0);
    EXPECT_EQ(saved.cordPart[2], 0);
    EXPECT_EQ(saved.relayProfile[0], 0);
    EXPECT_EQ(saved.relayProfile[2], 0);
}

} // namespace
} // namespace k8w::test
