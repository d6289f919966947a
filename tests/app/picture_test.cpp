// Renders the main window with a card and checks that nothing visible is cut
// off: every text fits its control and every control lies inside its parent.
#include "window_test_support.h"

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
    EXPECT_EQ(picture.size(), QSize(974, 580) * picture.devicePixelRatio());
    picture.save(QStringLiteral(K8W_PICTURE_DIR "/main_window.png"));

    auto expectReadable = [&](const char* where) {
        for (QWidget* child : w.findChildren<QWidget*>()) {
            if (!child->isVisible() || !child->parentWidget()) continue;
            const QString name = child->objectName();
            if (name.startsWith(QLatin1String("qt_"))) continue;
            const QRect inParent = child->parentWidget()->rect();
            if (!qobject_cast<QAbstractScrollArea*>(child->parentWidget()) &&
                !child->parentWidget()->inherits("QStackedWidget") && !name.isEmpty()) {
                EXPECT_TRUE(inParent.contains(child->geometry())) << where << " " << name.toStdString() << " sticks out";
            }
            const QFontMetrics fm = child->fontMetrics();
            if (auto* label = qobject_cast<QLabel*>(child); label && !label->wordWrap() && !label->text().isEmpty()) {
                EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width())
                    << where << " " << name.toStdString() << ": " << label->text().toStdString();
            } else if (auto* label = qobject_cast<QLabel*>(child); label && label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height()) << where << " " << name.toStdString();
            } else if (auto* box = qobject_cast<QCheckBox*>(child)) {
                EXPECT_LE(box->sizeHint().width(), box->width()) << where << " " << name.toStdString();
            } else if (auto* button = qobject_cast<QPushButton*>(child)) {
                EXPECT_LE(fm.horizontalAdvance(button->text()) + 12, button->width()) << where << " " << name.toStdString();
            } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
                EXPECT_LE(fm.horizontalAdvance(group->title()) + 12, group->width()) << where << " " << name.toStdString();
            } else if (auto* combo = qobject_cast<QComboBox*>(child)) {
                EXPECT_LE(combo->sizeHint().width(), combo->width() + 40) << where << " " << name.toStdString();
            }
        }
    };
    expectReadable("main window");

    // Visible controls never overlap their visible siblings, except a group
    // lying wholly over another one (the network and output groups over the
    // editor).
    auto expectApart = [&](const char* where) {
        for (QWidget* a : w.findChildren<QWidget*>()) {
            if (!a->isVisible() || a->objectName().isEmpty() || a->objectName().startsWith(QLatin1String("qt_")))
                continue;
            for (QObject* other : a->parent()->children()) {
                auto* b = qobject_cast<QWidget*>(other);
                if (!b || b == a || !b->isVisible() || b->objectName().isEmpty() ||
                    b->objectName().startsWith(QLatin1String("qt_")) || b->isWindow())
                    continue;
                const QRect ra = a->geometry(), rb = b->geometry();
                if (ra.contains(rb) || rb.contains(ra)) continue;
                EXPECT_FALSE(ra.intersects(rb)) << where << " " << a->objectName().toStdString() << " overlaps "
                                                << b->objectName().toStdString();
            }
        }
    };
    expectApart("main window");
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
        expectReadable("network tab");
        expectApart("network tab");
        w.grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_tab%1.png").arg(tab));
    }
    for (int tab = 1; tab < 3; ++tab) {
        clickTab("PageControl2", tab);
        expectReadable("outputs tab");
        expectApart("outputs tab");
    }
    // Every profile description fits under the output tabs.
    QLabel* description = find<QLabel>("Label40");
    startEditing();
    clickTab("PageControl1", 0);
    clickTab("PageControl2", 2);
    expectReadable("editing");
    expectApart("editing");
    w.grab().save(QStringLiteral(K8W_PICTURE_DIR "/main_window_editing.png"));
    clickTab("PageControl2", 0);
    for (int i = 0; i < 10; ++i) {
        choose("RelayComboBox1", i);
        EXPECT_LE(description->heightForWidth(description->width()), description->height()) << i;
    }
}

} // namespace
} // namespace k8w::test
