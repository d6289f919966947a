// The control window offscreen, over its link to a simulated device in
// virtual time. The window's timers are stopped; the tests run the fetch and
// poll handlers as the timers would, between steps of virtual time.
#include "app/tform4.h"
#include "control_fixture.h"
#include "support/recording_message_boxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace k8w::test {
namespace {

using sim::Fault;
using sim::FaultKind;
using sim::Phase;

class ControlWindowTest : public ::testing::Test {
protected:
    ManualClock clock;
    sim::SimDevice device;
    sim::SimFtdiDriver driver{clock};
    RecordingMessageBoxes boxes;
    std::unique_ptr<TForm4> form;

    void SetUp() override {
        driver.plug("FT4K8W01", &device);
        form = std::make_unique<TForm4>(driver, clock);
    }
    void TearDown() override {
        EXPECT_TRUE(boxes.shown().isEmpty());  // the window shows no message boxes
        clock.release();
        form.reset();
    }

    template <typename T = QWidget> T* find(const char* name) {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Shows the window with its timers stopped; the device is greeted.
    void show() {
        find<QTimer>("Timer1")->stop();
        find<QTimer>("Timer2")->stop();
        form->show();
        ASSERT_TRUE(clock.run(260));
    }
    // Lets the link work for `ms`, then the fetch timer takes all it has.
    void run(std::uint32_t ms) {
        ASSERT_TRUE(clock.run(ms));
        for (int tick = 0; tick < 20; ++tick) form->Timer1Timer();
    }
    void poll(std::uint32_t ms = 5) {
        form->Timer2Timer();
        run(ms);
    }
    QString loopRow(int loop) { return find<QTableWidget>("cordsGrid")->item(loop - 1, 0)->text(); }
    // The log without the time of day: "HH:MM:SS > text" gives "text".
    QStringList logTexts() {
        const QString log = find<QPlainTextEdit>("ismLog")->toPlainText();
        QStringList texts;
        static const QRegularExpression line(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}[^>]* > (.*)$"));
        for (const QString& l : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const auto match = line.match(l);
            EXPECT_TRUE(match.hasMatch()) << l.toStdString();
            texts << match.captured(1);
        }
        return texts;
    }
    std::vector<bool> pressed() {
        std::vector<bool> state;
        for (const char* name : {"relay1Btn", "relay2Btn", "zoomerBtn", "guardLedBtn", "ktcLedBtn", "redLedbtn",
                                 "greenLedBtn"})
            state.push_back(button(name)->isChecked());
        return state;
    }
    std::vector<std::uint32_t> sendTimes(std::uint8_t code) const { return commandSendTimes(driver, code); }
    Bytes lastSent(std::uint8_t code) const {
        const auto writes = driver.writes();
        for (auto it = writes.rbegin(); it != writes.rend(); ++it)
            if (it->size() >= 3 && (*it)[0] == control::kCommandStart && (*it)[1] == code) return *it;
        return {};
    }
};

TEST_F(ControlWindowTest, HasEveryControlWithItsText) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Контроль"));
    const std::pair<const char*, const char*> texts[] = {
        {"sim1Btn", "SIM 1"},          {"sim2Btn", "SIM 2"},           {"relay1Btn", "Реле 1"},
        {"relay2Btn", "Реле 2"},       {"zoomerBtn", "Зуммер"},        {"guardLedBtn", "Диод Охрана"},
        {"ktcLedBtn", "Диод КТС"},     {"redLedbtn", "Диод ЗУ Красный"}, {"greenLedBtn", "Диод ЗУ Зеленый"},
        {"Button1", "Очистить"},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(button(name)->text(), QString::fromUtf8(text)) << name;
    for (const char* name : {"relay1Btn", "relay2Btn", "zoomerBtn", "guardLedBtn", "ktcLedBtn", "redLedbtn", "greenLedBtn"})
        EXPECT_TRUE(button(name)->isCheckable()) << name;
    EXPECT_FALSE(button("sim1Btn")->isCheckable());
    EXPECT_EQ(find<QCheckBox>("caseCheck")->text(), QStringLiteral("Крышка установлена"));
    EXPECT_EQ(find<QCheckBox>("powerCheck")->text(), QStringLiteral("Есть питание"));
    EXPECT_EQ(find<QLabel>("Label70")->text(), QStringLiteral("Номер текущей SIM"));
    EXPECT_EQ(find<QLabel>("keyTMLabel")->text(), QStringLiteral("Ключ TM:"));
    EXPECT_TRUE(find<QLineEdit>("simNumEdit")->isReadOnly());
    EXPECT_TRUE(find<QLineEdit>("keyTMEdit")->isReadOnly());
    EXPECT_TRUE(find<QPlainTextEdit>("ismLog")->isReadOnly());
    EXPECT_EQ(find<QPlainTextEdit>("ismLog")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    auto* pages = find<QTabWidget>("PageControl1");
    EXPECT_EQ(pages->tabText(pages->indexOf(find("TabSheet1"))), QStringLiteral("Журнал обмена"));
    EXPECT_EQ(find("Button1")->parentWidget(), find("TabSheet1"));
    const std::pair<const char*, const char*> groups[] = {
        {"cordsGrid", "Шлейфы"}, {"sim1Btn", "Модем"}, {"sim2Btn", "Модем"}, {"relay1Btn", "Выходы"}, {"greenLedBtn", "Выходы"}};
    for (const auto& [name, title] : groups)
        EXPECT_EQ(qobject_cast<QGroupBox*>(find(name)->parentWidget())->title(), QString::fromUtf8(title)) << name;

    auto* grid = find<QTableWidget>("cordsGrid");
    EXPECT_EQ(grid->columnCount(), 1);
    EXPECT_EQ(grid->columnWidth(0), 170);
    EXPECT_EQ(grid->rowCount(), 5);
    EXPECT_FALSE(grid->horizontalHeader()->isHidden());

    const std::tuple<const char*, int, bool> timers[] = {{"Timer1", 10, true}, {"Timer2", 1000, true}, {"keyTMTimer", 1000, false}};
    for (const auto& [name, interval, active] : timers) {
        EXPECT_EQ(find<QTimer>(name)->interval(), interval) << name;
        EXPECT_EQ(find<QTimer>(name)->isActive(), active) << name;
    }
}

TEST_F(ControlWindowTest, TheIndicatorsCannotBeChangedByTheUser) {
    show();
    for (const char* name : {"caseCheck", "powerCheck"}) {
        auto* box = find<QCheckBox>(name);
        const bool before = box->isChecked();
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(box->isChecked(), before) << name;
    }
}

TEST_F(ControlWindowTest, ShowsTheLoopsPowerCoverAndSimOfAStatusReply) {
    device.setInputs({{59999, 60000, 65535, 0, 4700}, true, false});
    show();
    poll();
    EXPECT_EQ(loopRow(1), QStringLiteral("Шлейф 1: 59999 Ом"));
    EXPECT_EQ(loopRow(2), QStringLiteral("Шлейф 2: >60 КОм"));
    EXPECT_EQ(loopRow(3), QStringLiteral("Шлейф 3: >60 КОм"));
    EXPECT_EQ(loopRow(4), QStringLiteral("Шлейф 4: 0 Ом"));
    EXPECT_EQ(loopRow(5), QStringLiteral("Шлейф 5: 4700 Ом"));
    EXPECT_EQ(form->loops(), (std::array<std::uint16_t, 5>{59999, 60000, 65535, 0, 4700}));
    EXPECT_TRUE(find<QCheckBox>("powerCheck")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("caseCheck")->isChecked());
    EXPECT_EQ(find<QLineEdit>("simNumEdit")->text(), QStringLiteral("1"));

    device.setInputs({{100, 100, 100, 100, 100}, false, true});
    poll();
    EXPECT_FALSE(find<QCheckBox>("powerCheck")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("caseCheck")->isChecked());
    EXPECT_EQ(loopRow(2), QStringLiteral("Шлейф 2: 100 Ом"));
}

TEST_F(ControlWindowTest, PollsOnlyWhileRunningAndNothingIsPending) {
    form->Timer2Timer();  // not shown: the link is not running
    EXPECT_EQ(form->ctrlLink().PendingCount(), 0);
    show();
    form->Timer2Timer();
    form->Timer2Timer();
    EXPECT_EQ(form->ctrlLink().PendingCount(), 1);
    run(5);
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 1u);
}

TEST_F(ControlWindowTest, EachStatusReplyWithAWaitingKeyAsksForTheKeyOnce) {
    // Two status replies come for one poll, both saying a key waits.
    const Bytes status = sim::controlReply(0x0C, statusPayload(0x00, 0x83, {1, 2, 3, 4, 5}));
    answerNextPollWith(device, {status, status});
    device.presentKey({0x01, 0xA2, 0x03, 0x04, 0x05, 0x06, 0x07, 0x7F});
    show();
    poll();
    run(20);
    EXPECT_EQ(sendTimes(control::kCmdReadKey).size(), 2u);
    EXPECT_EQ(find<QLineEdit>("keyTMEdit")->text(), QStringLiteral("01 A2 03 04 05 06 07 7F "));
    EXPECT_EQ(logTexts().count(QStringLiteral("Получен код ключа IButton")), 2);

    poll();  // the key was taken: the status says none waits
    run(20);
    EXPECT_EQ(sendTimes(control::kCmdReadKey).size(), 2u);
}

TEST_F(ControlWindowTest, OutputButtonsSendTheWholeMaskAndFollowTheDeviceOnlyWhenNothingIsPending) {
    // The poll is answered twice; the second status, with the device's bits
    // 0x44, comes while the click's set-outputs command waits.
    const Bytes status = sim::controlReply(0x0C, statusPayload(0x44, 0x03, {1, 2, 3, 4, 5}));
    answerNextPollWith(device, {status, status});
    device.addFault({Phase::CtrlOutputs, FaultKind::Delay, -1, {}, 50, 1});
    show();
    form->Timer2Timer();
    click("relay1Btn");
    run(1);
    EXPECT_EQ(form->ctrlLink().PendingCount(), 1);
    EXPECT_EQ(pressed(), (std::vector<bool>{true, false, false, false, false, false, false}));
    EXPECT_EQ(lastSent(control::kCmdSetOutputs), (Bytes{0x51, 0x0D, 0x01, 0xA1}));

    run(100);
    EXPECT_EQ(logTexts().back(), QStringLiteral("Установлено значение выходов: 44 "));
    answerNextPollWith(device, {sim::controlReply(0x0C, statusPayload(0x24, 0x03, {1, 2, 3, 4, 5}))});
    poll();
    EXPECT_EQ(pressed(), (std::vector<bool>{false, false, true, false, false, true, false}));

    // Each click sends the whole mask, the clicked bit as the button now is.
    click("zoomerBtn");
    run(5);
    EXPECT_EQ(lastSent(control::kCmdSetOutputs), (Bytes{0x51, 0x0D, 0x20, 0x82}));
    click("greenLedBtn");
    run(5);
    EXPECT_EQ(lastSent(control::kCmdSetOutputs), (Bytes{0x51, 0x0D, 0x60, 0x42}));
    EXPECT_EQ(device.outputs(), 0x60);
}

TEST_F(ControlWindowTest, AKeyBlinksThreeTimesAndASecondKeyStartsTheCountAgain) {
    auto lit = [&] {
        const bool red = find<QLabel>("keyTMLabel")->palette().color(QPalette::WindowText) == QColor(Qt::red);
        const bool yellow = find<QLineEdit>("keyTMEdit")->palette().color(QPalette::Base) == QColor(Qt::yellow);
        EXPECT_EQ(red, yellow);
        const bool plain = find<QLabel>("keyTMLabel")->palette().color(QPalette::WindowText) == QColor(Qt::black) &&
                           find<QLineEdit>("keyTMEdit")->palette().color(QPalette::Base) == QColor(Qt::white);
        EXPECT_NE(red, plain);
        return red;
    };
    auto* blink = find<QTimer>("keyTMTimer");
    device.presentKey({1, 2, 3, 4, 5, 6, 7, 8});
    show();
    EXPECT_FALSE(lit());
    form->ctrlLink().RequestKey();
    run(5);
    EXPECT_TRUE(blink->isActive());
    EXPECT_EQ(form->blinkCounter(), 0);
    form->keyTMTimerTimer();
    EXPECT_TRUE(lit());
    form->keyTMTimerTimer();
    EXPECT_FALSE(lit());
    form->keyTMTimerTimer();
    EXPECT_TRUE(lit());

    form->ctrlLink().RequestKey();  // a second key reply mid-blink
    run(5);
    EXPECT_EQ(form->blinkCounter(), 0);
    std::vector<bool> seen;
    for (int tick = 0; tick < 6 && blink->isActive(); ++tick) {
        form->keyTMTimerTimer();
        seen.push_back(lit());
    }
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_FALSE(blink->isActive());
}

TEST_F(ControlWindowTest, Sim2SendsTheSimBitPollsAndGreetsAgain) {
    show();
    poll();
    EXPECT_EQ(find<QLineEdit>("simNumEdit")->text(), QStringLiteral("1"));
    click("sim2Btn");
    run(1000);
    EXPECT_EQ(lastSent(control::kCmdSetOutputs), (Bytes{0x51, 0x0D, 0x80, 0x22}));
    EXPECT_EQ(device.outputs(), 0x80);
    EXPECT_EQ(sendTimes(control::kCmdStatus).size(), 2u);
    EXPECT_EQ(greetingsSent(driver), 2);
    EXPECT_EQ(find<QLineEdit>("simNumEdit")->text(), QStringLiteral("2"));

    click("sim1Btn");
    run(1000);
    EXPECT_EQ(lastSent(control::kCmdSetOutputs), (Bytes{0x51, 0x0D, 0x00, 0xA2}));
    EXPECT_EQ(find<QLineEdit>("simNumEdit")->text(), QStringLiteral("1"));
}

TEST_F(ControlWindowTest, LinkFailuresAreLoggedWithTheTimeAndTheLogClears) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence, -1, {}, 0, 3});
    device.addFault({Phase::CtrlStatus, FaultKind::Replace, -1, sim::controlReply(0xFF, {2}), 0, 1});
    show();
    poll(1000);
    poll();
    EXPECT_EQ(logTexts(), (QStringList{QStringLiteral("Таймаут ожидания ответа, cmd = 12"),
                                       QStringLiteral("Ошибка: Не допустимый параметр команды")}));
    click("Button1");
    EXPECT_TRUE(find<QPlainTextEdit>("ismLog")->toPlainText().isEmpty());
}

TEST_F(ControlWindowTest, WithoutACableTheLogSaysSoOnceAPollWaits) {
    driver.unplug("FT4K8W01");
    show();
    run(3000);
    EXPECT_TRUE(logTexts().isEmpty());
    poll(3000);
    EXPECT_EQ(logTexts(), QStringList{QStringLiteral("Кабель FTDI не найден.")});
}

TEST_F(ControlWindowTest, HiddenItFetchesNothingAndTheNextShowingDropsWhatWasLeft) {
    device.addFault({Phase::CtrlStatus, FaultKind::Silence, -1, {}, 0, 3});
    show();
    poll(1000);  // a timeout is logged
    ASSERT_EQ(logTexts().size(), 1);
    form->Timer2Timer();
    ASSERT_TRUE(clock.run(5));  // a status reply waits in the link
    form->reject();
    EXPECT_FALSE(form->ctrlLink().IsRunning());
    ASSERT_TRUE(clock.run(100));
    EXPECT_EQ(driver.openHandles(), 0);  // closing let the cable go
    form->Timer1Timer();
    EXPECT_TRUE(loopRow(1).isEmpty());

    form->show();
    EXPECT_TRUE(find<QPlainTextEdit>("ismLog")->toPlainText().isEmpty());
    EXPECT_TRUE(form->ctrlLink().IsRunning());
    run(300);
    EXPECT_TRUE(loopRow(1).isEmpty());  // the old reply was dropped at the start
    EXPECT_EQ(driver.openHandles(), 1);
}

TEST_F(ControlWindowTest, EnterPressesNoButtonWhereverTheFocusIs) {
    device.addFault({Phase::CtrlStatus, FaultKind::Replace, -1, sim::controlReply(0xFF, {2}), 0, 1});
    show();
    poll();  // a line in the log, which "Очистить" would take away
    QApplication::setActiveWindow(form.get());
    const struct {
        const char* kind;
        QWidget* control;
    } focused[] = {
        {"read-only log", find("ismLog")},
        {"SIM button", button("sim1Btn")},
        {"other SIM button", button("sim2Btn")},
        {"output toggle", button("relay1Btn")},
        {"log clearing button", button("Button1")},
        {"page tabs", find<QTabWidget>("PageControl1")->tabBar()},
    };
    const std::size_t sentBefore = driver.writes().size();
    const QString logBefore = find<QPlainTextEdit>("ismLog")->toPlainText();
    ASSERT_FALSE(logBefore.isEmpty());
    for (const auto& [kind, control] : focused) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            SCOPED_TRACE(std::string(kind) + (key == Qt::Key_Enter ? ", keypad Enter" : ", Return"));
            control->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(QApplication::focusWidget(), control);
            QTest::keyClick(control, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            run(1100);
            EXPECT_EQ(driver.writes().size(), sentBefore) << "a command went to the device";
            EXPECT_EQ(device.outputs(), 0);
            EXPECT_EQ(pressed(), std::vector<bool>(7, false));
            EXPECT_EQ(find<QPlainTextEdit>("ismLog")->toPlainText().toStdString(), logBefore.toStdString());
            EXPECT_TRUE(form->isVisible());
        }
    }
}

// Every visible named control lies inside its parent and its text fits it.
void expectReadable(QWidget& window) {
    for (QWidget* child : window.findChildren<QWidget*>()) {
        const QString name = child->objectName();
        if (!child->isVisible() || name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        if (!qobject_cast<QAbstractScrollArea*>(child->parentWidget()) && !child->parentWidget()->inherits("QStackedWidget")) {
            EXPECT_TRUE(child->parentWidget()->rect().contains(child->geometry())) << name.toStdString() << " sticks out";
        }
        const QFontMetrics fm = child->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width()) << name.toStdString();
        } else if (auto* box = qobject_cast<QCheckBox*>(child)) {
            EXPECT_LE(box->sizeHint().width(), box->width()) << name.toStdString();
        } else if (auto* pushButton = qobject_cast<QPushButton*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(pushButton->text()) + 12, pushButton->width()) << name.toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 12, group->width()) << name.toStdString();
        } else if (auto* edit = qobject_cast<QLineEdit*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(edit->text()) + 8, edit->width()) << name.toStdString();
        }
    }
    auto* grid = window.findChild<QTableWidget*>(QStringLiteral("cordsGrid"));
    for (int row = 0; row < grid->rowCount(); ++row) {
        EXPECT_LE(grid->fontMetrics().horizontalAdvance(grid->item(row, 0)->text()) + 8, grid->columnWidth(0));
        EXPECT_LE(grid->visualItemRect(grid->item(row, 0)).bottom(), grid->viewport()->height());
    }
}

TEST_F(ControlWindowTest, PictureOfTheWindowWithADeviceIsReadable) {
    device.setInputs({{4700, 59999, 65535, 120, 3300}, true, true});
    device.presentKey({0x01, 0x5E, 0x2A, 0x33, 0x7F, 0x40, 0x00, 0x00});
    device.addFault({Phase::CtrlOutputs, FaultKind::Silence, -1, {}, 0, 1});
    show();
    poll(20);
    click("relay1Btn");
    run(300);
    click("guardLedBtn");
    click("sim2Btn");
    run(2000);
    poll(20);
    form->keyTMTimerTimer();
    QApplication::processEvents();
    expectReadable(*form);
    const QImage picture = form->grab().toImage();
    EXPECT_EQ(picture.size(), QSize(600, 478) * picture.devicePixelRatio());
    EXPECT_TRUE(picture.save(QStringLiteral(K8W_PICTURE_DIR "/control_window.png")));
}

} // namespace
} // namespace k8w::test
