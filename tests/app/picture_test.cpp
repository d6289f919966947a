// Renders the main window with a card and checks that nothing visible is cut
// off: every text fits its control and every control lies inside its parent.
#include "layout_checks.h"
#include "window_test_support.h"

#include <QStatusBar>

#include "common/cp1251.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstring>

namespace k8w::test {
namespace {

using PictureTest = WindowTest;

TEST_F(PictureTest, MainWindowShowingACardIsReadable) {
    Card c = usedCard(32005, QStringLiteral("К-32005"), QStringLiteral("ТЦ «Радуга», павильон 12"));
    setFieldText(c.address, QStringLiteral("г. Тверь, ул. Советская, д. 10"));
    setFieldText(c.remark, QStringLiteral("ключ у охранника"));
    c.cordType[0] = 4;
    c.cordType[1] = 5;
    c.cordType[2] = 2;
    c.cordType[3] = 3;
    c.cordType[4] = 6;
    c.relayProfile[0] = 5;
    c.modeFlags = kModeOneColorIndic | kModeSendNewMsg;
    c.progDate = 45001.6;
    c.progId = 0x3FA2;
    c.prevProgId = 0x11C0;
    table->cards[0] = c;
    table->cards[1] = usedCard(100, QStringLiteral("К-100"), QStringLiteral("Аптека №5"), 45010.4);
    table->cards[3] = usedCard(64010, QStringLiteral("К-64010"), QStringLiteral("Склад"), 45020.7);
    writeDatabase(*table);
    TForm1& w = open();
    QApplication::processEvents();
    const QImage picture = w.grab().toImage();
    EXPECT_EQ(picture.size(), QSize(974, 602) * picture.devicePixelRatio());
    picture.save(QStringLiteral(K8W_PICTURE_DIR "/main_window.png"));

    expectReadable(w, "main window");

    expectApart(w, "main window");
    // The busy bar and the key table button are shown on demand; their
    // places are kept free.
    for (const char* shownLater : {"Progress", "keysWinBtn"})
        for (const char* button : {"ProgBtn", "SpeedButton1", "ctrlWinBtn", "Progress", "keysWinBtn"})
            if (std::strcmp(shownLater, button) != 0) {
                EXPECT_FALSE(find(shownLater)->geometry().intersects(find(button)->geometry()))
                    << shownLater << " over " << button;
            }
    for (int tab = 1; tab < 5; ++tab) {
        clickTab("PageControl1", tab);
        expectReadable(w, "network tab");
        expectApart(w, "network tab");
        w.grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_tab%1.png").arg(tab));
    }
    for (int tab = 1; tab < 3; ++tab) {
        clickTab("PageControl2", tab);
        expectReadable(w, "outputs tab");
        expectApart(w, "outputs tab");
    }
    // Every profile description fits under the output tabs.
    QLabel* description = find<QLabel>("Label40");
    startEditing();
    clickTab("PageControl1", 0);
    clickTab("PageControl2", 2);
    expectReadable(w, "editing");
    expectApart(w, "editing");
    w.grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_editing.png"));
    clickTab("PageControl2", 0);
    for (int i = 0; i < 10; ++i) {
        choose("RelayComboBox1", i);
        EXPECT_LE(description->heightForWidth(description->width()), description->height()) << i;
    }
}

} // namespace
} // namespace k8w::test
