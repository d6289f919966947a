#include "window_test_support.h"

#include "common/cp1251.h"
#include "support/watchdog.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

namespace k8w::test {

Card usedCard(std::uint32_t code, const QString& number, const QString& object, double changeDate) {
    Card c{};
    c.codeUoo = code;
    setFieldText(c.cardNumber, number);
    setFieldText(c.objectName, object);
    setFieldText(c.pin1, QStringLiteral("1111"));
    setFieldText(c.pin2, QStringLiteral("2222"));
    setFieldText(c.ip1Gsm, QStringLiteral("10.1.1.1"));
    setFieldText(c.ip2Gsm, QStringLiteral("10.2.2.2"));
    setFieldText(c.port1Gsm, QStringLiteral("5001"));
    setFieldText(c.port2Gsm, QStringLiteral("5002"));
    setFieldText(c.apn1, QStringLiteral("apn.one"));
    setFieldText(c.apn2, QStringLiteral("apn.two"));
    setFieldText(c.ipUpdate, QStringLiteral("upd.example"));
    setFieldText(c.portUpdate, QStringLiteral("7001"));
    setFieldText(c.portParams, QStringLiteral("7002"));
    c.timePass = 30;
    c.changeDate = changeDate;
    return c;
}

void writeDatabase(const CardTable& table) {
    ASSERT_TRUE(WriteCardFile(kCardFileName, table.cards.data(), kCardCapacity, table.cardTemplate).isEmpty());
}

std::unique_ptr<CardTable> readDatabase() {
    auto t = CardTable::create();
    CardLoadOutcome outcome{};
    EXPECT_TRUE(LoadCardFile(kCardFileName, t->cards.data(), kCardCapacity, t->cardTemplate, &outcome));
    EXPECT_EQ(QFile(kCardFileName).size(), 11'791'310);
    return t;
}

void typeText(QWidget* target, const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(target, static_cast<char>(ch.unicode()));
            continue;
        }
        // Letters outside ASCII arrive as key events that carry only their text.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
}

bool databaseExists() { return QFile::exists(kCardFileName); }

void WindowTest::TearDown() {
    if (window_) {
        // Leave without questions; nothing a test did should be written now.
        window_->hide();
        window_.reset();
    }
}

TForm1& WindowTest::open() {
    window_ = std::make_unique<TForm1>(hardware);
    window_->show();
    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    return *window_;
}

void WindowTest::click(const char* buttonName) {
    QAbstractButton* b = find<QAbstractButton>(buttonName);
    ASSERT_TRUE(b->isEnabled()) << buttonName << " is disabled";
    QTest::mouseClick(b, Qt::LeftButton);
}

void WindowTest::clickCheck(const char* boxName) {
    QCheckBox* b = check(boxName);
    ASSERT_TRUE(b->isEnabled()) << boxName << " is disabled";
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

void WindowTest::type(const char* editName, const QString& text) {
    QLineEdit* e = edit(editName);
    ASSERT_TRUE(e->isEnabled()) << editName << " is disabled";
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    typeText(e, text);
    ASSERT_EQ(e->text(), text.left(e->maxLength())) << editName;
}

void WindowTest::choose(const char* comboName, int index) {
    QComboBox* c = combo(comboName);
    ASSERT_TRUE(c->isEnabled()) << comboName << " is disabled";
    // What a choice from the drop-down list does: select, then report it.
    c->setCurrentIndex(index);
    emit c->activated(index);
}

void WindowTest::clickRow(int gridRow) {
    auto* grid = find<QTableView>("SetsGrid");
    ASSERT_TRUE(grid->isEnabled());
    const QModelIndex index = grid->model()->index(gridRow - 1, 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

void WindowTest::clickTab(const char* tabWidgetName, int index) {
    auto* tabs = find<QTabWidget>(tabWidgetName);
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    ASSERT_EQ(tabs->currentIndex(), index);
}

void WindowTest::pressEnter(const char* editName) { QTest::keyClick(edit(editName), Qt::Key_Return); }

int WindowTest::selectedRow() {
    return find<QTableView>("SetsGrid")->selectionModel()->currentIndex().row() + 1;
}

QString WindowTest::cell(int gridRow, int column) {
    auto* grid = find<QTableView>("SetsGrid");
    return grid->model()->index(gridRow - 1, column - 1).data().toString();
}

void WindowTest::startEditing() {
    click("BitBtn1");
    ASSERT_TRUE(window_->isEditMode());
}

void WindowTest::fillValidCard(const QString& code) {
    type("NCardEdit", QStringLiteral("A-17"));
    type("CodeUoo", code);
    type("Pin1Edit", QStringLiteral("1234"));
    type("Ip1GsmEdit", QStringLiteral("192.168.0.1"));
    type("Port1GsmEdit", QStringLiteral("5000"));
    type("APN1Edit", QStringLiteral("internet"));
    type("Pin2Edit", QStringLiteral("4321"));
    type("Ip2GsmEdit", QStringLiteral("192.168.0.2"));
    type("Port2GsmEdit", QStringLiteral("65535"));
    type("APN2Edit", QStringLiteral("internet2"));
}

QString WindowTest::saveAndGetWarning() {
    const qsizetype before = boxes.shown().size();
    click("BitBtn2");
    if (boxes.shown().size() == before) return {};
    const MessageRequest& box = boxes.last();
    EXPECT_EQ(box.title, QStringLiteral("Внимание!"));
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(boxes.shown().size(), before + 1) << "one box per failed save";
    EXPECT_TRUE(window_->isEditMode()) << "a failed check keeps editing on";
    return box.text;
}

bool WindowTest::waitForWorker() {
    return QTest::qWaitFor([this] { return !window_->hasDeviceWorker(); }, kHangMs);
}

void WindowTest::whenShown(QWidget* w, std::function<void()> action) {
    auto* poll = new QTimer(window_.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, w, action = std::move(action)] {
        if (!w->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(5);
}

} // namespace k8w::test
