// The read results view filled from device images, and a picture of it.
#include "app/tform2.h"

#include "cards/card.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "layout_checks.h"
#include "link/image_view_fields.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace k8w::test {
namespace {

class ReadViewTest : public ::testing::Test {
protected:
    TForm2 view;
    ConfigImage image{};

    template <typename T = QWidget> T* find(const char* name) {
        T* w = view.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) {
        QWidget* w = find(name);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
        if (auto* box = qobject_cast<QComboBox*>(w)) return box->currentText();
        if (auto* check = qobject_cast<QCheckBox*>(w)) return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        return QStringLiteral("?");
    }
    void fill() { view.FillFromImage(image.data()); }
};

// A card with the widest texts and choices the view has to show.
Card sampleCard() {
    Card c{};
    c.codeUoo = 123456;
    setFieldText(c.cardNumber, QStringLiteral("К-12"));
    setFieldText(c.pin1, QStringLiteral("1111"));
    setFieldText(c.ip1Gsm, QStringLiteral("255.255.255.255"));
    setFieldText(c.ip2Gsm, QStringLiteral("10.2.2.2"));
    setFieldText(c.port1Gsm, QStringLiteral("65535"));
    setFieldText(c.apn1, QStringLiteral("internet.мтс"));
    setFieldText(c.apn2, QStringLiteral("internet.beeline.ru"));
    setFieldText(c.loginGsm1, QStringLiteral("mts"));
    setFieldText(c.passGsm2, QStringLiteral("secret"));
    c.cordType[0] = 4;
    c.cordType[1] = 5;
    c.cordType[3] = 6;
    c.cordType[4] = 5;
    c.cordPart[2] = 3;
    c.relayProfile[0] = 7;
    c.relayProfile[1] = 11;
    c.relayProfile[2] = 2;
    c.timePass = 45;
    c.modeFlags = kModePowerCtrlOff | kModeUse1961;
    c.smsFlags = kSmsToNumber2 | kSmsKtc | kSmsSaveInPhone;
    setFieldText(c.smsNumber2, QStringLiteral("89161234567"));
    setFieldText(c.smsObjName, QStringLiteral("Склад"));
    setFieldText(c.balCode[0], QStringLiteral("*100#"));
    c.balCriticalLevel = 4321;
    c.keys[1][2].keyCode[0] = 0x7F;
    return c;
}

TEST_F(ReadViewTest, AFreshViewShowsNoVersion) {
    EXPECT_EQ(text("versionEdit"), QStringLiteral("Н/Д"));
    EXPECT_TRUE(find<QLineEdit>("versionEdit")->isReadOnly());
}

TEST_F(ReadViewTest, ACardsImageShowsAsTheCardWasWritten) {
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(sampleCard(), QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)), 7, 9, image, crc), 585);
    fill();
    const std::pair<const char*, QString> shown[] = {
        {"NCardEdit", QStringLiteral("К-12")},
        {"CodeUoo", QStringLiteral("123456")},
        {"Label17", QStringLiteral("6.12.26 14:3:27")},
        {"Pin1Edit", QStringLiteral("1111")},
        {"Pin2Edit", QString()},
        {"Ip2GsmEdit", QStringLiteral("10.2.2.2")},
        {"APN1Edit", QStringLiteral("internet.мтс")},
        {"PassGsm2Edit", QStringLiteral("secret")},
        {"Cord1", QStringLiteral("Входной охранный шлейф")},
        {"Cord2", QStringLiteral("Проходной охранный шлейф")},
        {"Cord3", QStringLiteral("Отключен")},
        {"Cord5", QStringLiteral("Проходной охранный шлейф")},
        {"Cord3Part", QStringLiteral("3")},
        {"RelayComboBox1", QStringLiteral("Изменение состояния охраны (общий)")},
        {"RelayComboBox2", QStringLiteral("КТС Свет (раздел 1)")},
        {"RelayComboBox3", QStringLiteral("Вход/Выход (пульс)")},
        {"timePassEdit", QStringLiteral("45")},
        {"IndicZU", QStringLiteral("0")},
        {"powerCtrlOffCheck", QStringLiteral("1")},
        {"use1961Check", QStringLiteral("1")},
        {"sendSMS1Check", QStringLiteral("0")},
        {"sendSMS2Check", QStringLiteral("1")},
        {"smsKtcCheck", QStringLiteral("1")},
        {"saveSMSCheck", QStringLiteral("1")},
        {"smsObjNameEdit", QStringLiteral("Склад")},
        {"balCodeSim1", QStringLiteral("*100#")},
        {"balCritical", QStringLiteral("4321")},
        {"balSendPcnCheck", QStringLiteral("1")},
        {"ProgID1", ChecksumText(crc)},
    };
    for (const auto& [name, value] : shown) EXPECT_EQ(text(name), value) << name;
    // Every control agrees with the one table k8w-cli reads images by.
    for (const link::ViewField& field : link::ViewFields())
        EXPECT_EQ(text(field.control.toLatin1().constData()), link::ViewFieldText(field, image.data()))
            << field.control.toStdString();
}

TEST_F(ReadViewTest, EdgeCasesOfTheMapping) {
    const std::uint8_t date[] = {6, 12, 26, 14, 3, 27};
    std::memcpy(image.data() + 12, date, 6);
    image[335] = 0x02;  // the notice switched off
    image[583] = 0xAF;
    image[584] = 0x00;
    image[242] = 0x40;  // a bit no box shows
    fill();
    EXPECT_EQ(text("Label17"), QStringLiteral("6.12.26 14:3:27"));
    EXPECT_EQ(text("balCritical"), QStringLiteral("10"));
    EXPECT_FALSE(find<QCheckBox>("balSendPcnCheck")->isChecked());
    EXPECT_EQ(text("ProgID1"), QStringLiteral("00AF"));
    for (const char* box : {"sendSMS1Check", "sendSMS2Check", "smsGuardModeCheck", "smsFireCheck", "smsKtcCheck",
                            "smsAlarmCheck", "saveSMSCheck"})
        EXPECT_FALSE(find<QCheckBox>(box)->isChecked()) << box;
    image[333] = 1;
    image[335] = 0xFD;
    fill();
    EXPECT_EQ(text("balCritical"), QStringLiteral("1"));
    EXPECT_TRUE(find<QCheckBox>("balSendPcnCheck")->isChecked());
}

TEST_F(ReadViewTest, AnIndexBeyondABoxsListLeavesTheBoxEmpty) {
    const std::pair<const char*, std::uint8_t> beyond[] = {
        {"Cord1", 7}, {"Cord3", 9}, {"Cord2Part", 4}, {"Cord5Part", 255},
        {"RelayComboBox1", 12}, {"RelayComboBox2", 200}, {"RelayComboBox3", 3},
    };
    for (const auto& [name, index] : beyond) image[link::FindViewField(QString::fromLatin1(name))->offset] = 1;
    fill();
    for (const auto& [name, index] : beyond) image[link::FindViewField(QString::fromLatin1(name))->offset] = index;
    fill();
    for (const auto& [name, index] : beyond) {
        EXPECT_EQ(find<QComboBox>(name)->currentIndex(), -1) << name;
        EXPECT_EQ(text(name), QString()) << name;
    }
    image = {};
    fill();
    for (const auto& [name, index] : beyond) EXPECT_EQ(find<QComboBox>(name)->currentIndex(), 0) << name;
}

TEST_F(ReadViewTest, LongTextsShowWhole) {
    // A text without its zero runs on to the image's end; nothing is cut.
    std::memset(image.data() + 321, 'x', kImageSize - 321);
    image[333] = 0xE1;  // 4321 in the balance bytes the text runs over
    image[334] = 0x10;
    std::memset(image.data() + 22, '7', 5);
    fill();
    EXPECT_EQ(text("balCodeSim2").size(), 264);
    EXPECT_EQ(text("balCritical"), QStringLiteral("4321"));
    EXPECT_EQ(text("Pin1Edit"), QStringLiteral("77777"));
    EXPECT_EQ(find<QLineEdit>("balCodeSim2")->cursorPosition(), 0);
}

TEST_F(ReadViewTest, EachFillOverwritesThePreviousOne) {
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(sampleCard(), QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)), 1, 2, image, crc), 585);
    fill();
    image = {};
    fill();
    for (const link::ViewField& field : link::ViewFields())
        EXPECT_EQ(text(field.control.toLatin1().constData()), link::ViewFieldText(field, image.data()))
            << field.control.toStdString();
    EXPECT_EQ(text("NCardEdit"), QString());
    EXPECT_EQ(text("Label17"), QStringLiteral("0.0.0 0:0:0"));
}

TEST_F(ReadViewTest, VersionTextOrNoVersion) {
    view.SetVersionText(QStringLiteral("2.1.7"));
    EXPECT_EQ(text("versionEdit"), QStringLiteral("2.1.7"));
    view.SetVersionText(QString());
    EXPECT_EQ(text("versionEdit"), QStringLiteral("Н/Д"));
    view.SetVersionText(QStringLiteral("Н/Д"));
    EXPECT_EQ(text("versionEdit"), QStringLiteral("Н/Д"));
}

TEST_F(ReadViewTest, CloseEndsTheModalShowingWithOk) {
    fill();
    QTimer::singleShot(0, &view, [this] { QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton); });
    EXPECT_EQ(view.exec(), QDialog::Accepted);
    EXPECT_FALSE(view.isVisible());
    // Shown again, it still holds what it showed.
    view.SetVersionText(QStringLiteral("1.0.0"));
    QTimer::singleShot(0, &view, [this] { QTest::mouseClick(find<QPushButton>("Button1"), Qt::LeftButton); });
    EXPECT_EQ(view.exec(), QDialog::Accepted);
    EXPECT_EQ(text("versionEdit"), QStringLiteral("1.0.0"));
}

TEST_F(ReadViewTest, NothingButTheOutputPagesCanBeTouched) {
    view.show();
    for (const char* group : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5", "GroupBox6",
                              "GroupBox10"})
        EXPECT_FALSE(find(group)->isEnabled()) << group;
    EXPECT_TRUE(find("GroupBox7")->isVisible());
    EXPECT_TRUE(find("GroupBox7")->isEnabled());
    auto* pages = find<QTabWidget>("PageControl2");
    for (int page = 0; page < pages->count(); ++page) EXPECT_FALSE(pages->widget(page)->isEnabled()) << page;
    // The pages still switch, to show each output's profile.
    QTabBar* tabs = pages->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    EXPECT_EQ(pages->currentIndex(), 2);
    EXPECT_TRUE(find("RelayComboBox3")->isVisible());
    view.hide();
}

TEST_F(ReadViewTest, PictureOfAFilledViewIsReadable) {
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(sampleCard(), QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)), 1, 2, image, crc), 585);
    fill();
    view.SetVersionText(QStringLiteral("2.1.17"));
    view.show();
    QApplication::processEvents();
    const QImage picture = view.grab().toImage();
    EXPECT_EQ(picture.size(), QSize(1029, 407) * picture.devicePixelRatio());
    picture.save(QStringLiteral(K8W_PICTURE_DIR "/read_view.png"));
    expectReadable(view, "read view");
    expectApart(view, "read view");
    expectChoicesShowWhole(view, "read view");
    auto* pages = find<QTabWidget>("PageControl2");
    for (int page = 1; page < 3; ++page) {
        QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {}, pages->tabBar()->tabRect(page).center());
        expectReadable(view, "outputs page");
        expectChoicesShowWhole(view, "outputs page");
        view.grab().save(QStringLiteral(K8W_PICTURE_DIR "/read_view_page%1.png").arg(page));
    }
    view.hide();
}

} // namespace
} // namespace k8w::test
