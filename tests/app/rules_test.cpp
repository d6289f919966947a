// The rules that tie the editor controls together, driven through the window.
#include "window_test_support.h"

#include "editor/editor_rules.h"

namespace k8w::test {
namespace {

class RulesTest : public WindowTest {
protected:
    void SetUp() override {
        open();
        startEditing();
    }
    int loop(int n) { return combo(QStringLiteral("Cord%1").arg(n).toLatin1().constData())->currentIndex(); }
};

TEST_F(RulesTest, LoopListsHaveTheirItems) {
    EXPECT_EQ(combo("Cord1")->count(), 7);
    EXPECT_EQ(combo("Cord1")->itemText(4), QStringLiteral("Входной охранный шлейф"));
    EXPECT_EQ(combo("Cord1")->itemText(5), QStringLiteral("---------------------"));
    EXPECT_EQ(combo("Cord3")->itemText(4), QStringLiteral("---------------------------"));
    EXPECT_EQ(combo("Cord3")->itemText(5), QStringLiteral("Проходной охранный шлейф"));
    EXPECT_EQ(combo("Cord8")->itemText(6), QStringLiteral("Управляющий шлейф"));
    EXPECT_EQ(combo("Cord2Part")->count(), 4);
    EXPECT_EQ(combo("RelayComboBox2")->itemText(9), QStringLiteral("КТС Звук (общий)"));
    EXPECT_EQ(combo("RelayComboBox3")->itemText(2), QStringLiteral("Вход/Выход (пульс)"));
}

TEST_F(RulesTest, PassThroughNeedsAnEntryLoopOne) {
    choose("Cord1", 1);
    choose("Cord3", 5);
    EXPECT_EQ(loop(3), 0);
    choose("Cord1", 4);
    EXPECT_TRUE(edit("timePassEdit")->isEnabled());
    choose("Cord3", 5);
    choose("Cord4", 6);
    EXPECT_EQ(loop(3), 5);
    // Leaving the entry loop drops every pass-through loop; control loops stay.
    choose("Cord1", 2);
    EXPECT_EQ(loop(3), 0);
    EXPECT_EQ(loop(4), 6);
    EXPECT_FALSE(edit("timePassEdit")->isEnabled());
}

TEST_F(RulesTest, SeparatorLinesShowOff) {
    choose("Cord1", 5);
    EXPECT_EQ(loop(1), 0);
    for (const char* name : {"Cord2", "Cord3", "Cord4", "Cord5"}) {
        choose(name, 4);
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    }
}

TEST_F(RulesTest, EntryLoopPutsPassThroughAndControlLoopsIntoPartitionZero) {
    check("partSupportCheck")->setChecked(true);
    window().partSupportCheckClick();
    EXPECT_TRUE(combo("Cord2Part")->isEnabled());
    choose("Cord2", 6);
    choose("Cord2Part", 2);
    choose("Cord5", 1);
    choose("Cord5Part", 3);
    choose("Cord1Part", 1);
    EXPECT_EQ(combo("Cord1Part")->currentIndex(), 1) << "not an entry loop: the choice stands";
    choose("Cord1", 4);
    EXPECT_EQ(combo("Cord1Part")->currentIndex(), 0);
    EXPECT_EQ(combo("Cord2Part")->currentIndex(), 0);
    EXPECT_EQ(combo("Cord5Part")->currentIndex(), 3) << "a guard loop keeps its partition";
    choose("Cord1Part", 2);
    EXPECT_EQ(combo("Cord1Part")->currentIndex(), 0);
    // A control loop may move afterwards, a pass-through loop may not.
    choose("Cord2Part", 1);
    EXPECT_EQ(combo("Cord2Part")->currentIndex(), 1);
    choose("Cord3", 5);
    choose("Cord3Part", 2);
    EXPECT_EQ(combo("Cord3Part")->currentIndex(), 0);
    // Partition support off: every partition back to 0 and the lists locked.
    choose("Cord2Part", 3);
    check("partSupportCheck")->setChecked(false);
    window().partSupportCheckClick();
    for (const char* name : {"Cord1Part", "Cord2Part", "Cord3Part", "Cord4Part", "Cord5Part"}) {
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
        EXPECT_FALSE(combo(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(find("Label63")->isEnabled());
}

TEST_F(RulesTest, ProfileDescriptionFollowsTheListAndTheTab) {
    QLabel* description = find<QLabel>("Label40");
    choose("RelayComboBox1", 2);
    EXPECT_TRUE(description->text().startsWith(QStringLiteral("Выход находится в режиме «Выключен», если")));
    choose("RelayComboBox3", 1);
    clickTab("PageControl2", 2);
    EXPECT_EQ(description->text(), QString::fromUtf8(kBuzzerProfileTexts[1].description));
    clickTab("PageControl2", 1);
    EXPECT_EQ(description->text(), QStringLiteral("Выход всегда находится в режиме «Выключен»"));
    choose("RelayComboBox2", 9);
    EXPECT_EQ(description->text(), QString::fromUtf8(kOutputProfileTexts[9].description));
    clickTab("PageControl2", 0);
    EXPECT_EQ(description->text(), QString::fromUtf8(kOutputProfileTexts[2].description));
}

TEST_F(RulesTest, BalanceSwitchLocksItsFieldsAndEmptiesThePhonesOnly) {
    clickTab("PageControl1", 1);
    EXPECT_FALSE(edit("balCritical")->isEnabled());
    clickCheck("balEnable");
    for (const char* name : {"balCritical", "balCodeSim1", "balCodeSim2", "balPhoneSim1", "balPhoneSim2"})
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    EXPECT_TRUE(check("balSendPcnCheck")->isEnabled());
    type("balCritical", QStringLiteral("77"));
    type("balCodeSim1", QStringLiteral("*102#"));
    edit("balPhoneSim1")->setText(QStringLiteral("89001234567"));
    edit("balPhoneSim2")->setText(QStringLiteral("89007654321"));
    clickCheck("balEnable");
    EXPECT_TRUE(edit("balPhoneSim1")->text().isEmpty());
    EXPECT_TRUE(edit("balPhoneSim2")->text().isEmpty());
    EXPECT_EQ(edit("balCritical")->text(), QStringLiteral("77"));
    EXPECT_EQ(edit("balCodeSim1")->text(), QStringLiteral("*102#"));
    EXPECT_FALSE(edit("balCodeSim1")->isEnabled());
    EXPECT_FALSE(check("balSendPcnCheck")->isEnabled());
}

TEST_F(RulesTest, SmsSwitchesUnlockNumbersAndEventTypes) {
    clickTab("PageControl1", 3);
    const char* events[] = {"smsGuardModeCheck", "smsAlarmCheck", "smsFireCheck", "smsKtcCheck"};
    for (const char* name : events) EXPECT_FALSE(check(name)->isEnabled()) << name;
    EXPECT_FALSE(edit("smsNumber1Edit")->isEnabled());
    EXPECT_TRUE(edit("smsObjNameEdit")->isEnabled());
    EXPECT_TRUE(check("saveSMSCheck")->isEnabled());
    clickCheck("sendSMS2Check");
    for (const char* name : events) EXPECT_TRUE(check(name)->isEnabled()) << name;
    EXPECT_FALSE(edit("smsNumber1Edit")->isEnabled());
    EXPECT_TRUE(edit("smsNumber2Edit")->isEnabled());
    clickCheck("saveSMSCheck");
    EXPECT_TRUE(check("smsFireCheck")->isEnabled());
    clickCheck("sendSMS2Check");
    for (const char* name : events) EXPECT_FALSE(check(name)->isEnabled()) << name;
}

TEST_F(RulesTest, UpdateSwitchAndDefaults) {
    clickTab("PageControl1", 4);
    EXPECT_FALSE(edit("ipUpdateEdit")->isEnabled());
    EXPECT_FALSE(edit("portUpdateEdit")->isEnabled());
    EXPECT_TRUE(edit("portParamsEdit")->isEnabled());
    EXPECT_TRUE(find("defaultUpdSettings")->isEnabled());
    clickCheck("allowUpdateCheck");
    EXPECT_TRUE(edit("ipUpdateEdit")->isEnabled());
    type("ipUpdateEdit", QStringLiteral("my.server"));
    type("portUpdateEdit", QStringLiteral("1"));
    type("portParamsEdit", QStringLiteral("2"));
    click("defaultUpdSettings");
    EXPECT_EQ(edit("ipUpdateEdit")->text(), QStringLiteral("update.k8w.local"));
    EXPECT_EQ(edit("portUpdateEdit")->text(), QStringLiteral("25001"));
    EXPECT_EQ(edit("portParamsEdit")->text(), QStringLiteral("25002"));
}

TEST_F(RulesTest, SimSwitchLocksTheSimFields) {
    check("UseSim1")->setChecked(false);
    window().UseSim1Click();
    for (const char* name : {"Pin1Edit", "Ip1GsmEdit", "Port1GsmEdit", "APN1Edit", "LoginGsm1Edit", "PassGsm1Edit"})
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    EXPECT_TRUE(edit("Pin2Edit")->isEnabled());
    // Showing a card switches both SIM cards on again.
    boxes.answer(MsgAnswer::Yes);
    click("BitBtn1");
    EXPECT_TRUE(check("UseSim1")->isChecked());
    EXPECT_FALSE(edit("Pin1Edit")->testAttribute(Qt::WA_ForceDisabled));
    startEditing();
    EXPECT_TRUE(edit("Pin1Edit")->isEnabled());
}

} // namespace
} // namespace k8w::test
