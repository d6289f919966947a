// The real message boxes: buttons, title, text and the answer given.
#include "app/qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace k8w {
namespace {

// Presses `button` in the message box as soon as it is open and records what
// the box looked like.
struct BoxPresser {
    explicit BoxPresser(QMessageBox::StandardButton toPress) : button(toPress) {}
    QMessageBox::StandardButton button;
    QString title, text;
    QList<QMessageBox::StandardButton> buttons;
    Qt::WindowModality modality = Qt::NonModal;
    bool onTop = false;

    void arm() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton* b : box->buttons()) buttons << box->standardButton(b);
            modality = box->windowModality();
            onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            box->button(button)->click();
        });
    }
};

TEST(QtMessageBoxes, QuestionHasYesAndNoAndOnlyYesGoesAhead) {
    QtMessageBoxes boxes;
    setMessageBoxes(&boxes);
    BoxPresser no(QMessageBox::No);
    no.arm();
    EXPECT_FALSE(askYesNo(QStringLiteral("Внимание"), QStringLiteral("Удалить?")));
    EXPECT_EQ(no.title, QStringLiteral("Внимание"));
    EXPECT_EQ(no.text, QStringLiteral("Удалить?"));
    EXPECT_EQ(no.buttons.size(), 2);
    EXPECT_TRUE(no.buttons.contains(QMessageBox::Yes));
    EXPECT_TRUE(no.buttons.contains(QMessageBox::No));
    EXPECT_EQ(no.modality, Qt::ApplicationModal);
    BoxPresser yes(QMessageBox::Yes);
    yes.arm();
    EXPECT_TRUE(askYesNo(QStringLiteral("Внимание"), QStringLiteral("Удалить?")));
    setMessageBoxes(nullptr);
}

TEST(QtMessageBoxes, WarningHasOneOkButtonAndSystemModalStaysOnTop) {
    QtMessageBoxes boxes;
    setMessageBoxes(&boxes);
    BoxPresser ok(QMessageBox::Ok);
    ok.arm();
    EXPECT_EQ(showMessage(QStringLiteral("Внимание!"), QStringLiteral("Текст"), MsgButtons::Ok,
                          MsgIcon::Warning, true),
              MsgAnswer::Ok);
    EXPECT_EQ(ok.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    EXPECT_EQ(ok.title, QStringLiteral("Внимание!"));
    EXPECT_TRUE(ok.onTop);
    setMessageBoxes(nullptr);
}

} // namespace
} // namespace k8w
