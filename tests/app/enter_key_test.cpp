// Enter in the two dialogs whose only button is OK: it closes them through
// that button and changes nothing else.
#include "enter_key_support.h"
#include "window_test_support.h"

#include "app/tform2.h"
#include "app/tftdi_dialog.h"
#include "cards/config_image.h"

namespace k8w::test {
namespace {

// The read results view has one button, "Закрыть": Enter closes the view
// through it and leaves what it shows as it was.
TEST(ReadViewEnter, ClosesTheViewThroughItsOnlyButton) {
    TForm2 view;
    ConfigImage image{};
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(usedCard(32001, QStringLiteral("12"), QStringLiteral("Склад")),
                                 QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)), 1, 2, image, crc),
              static_cast<int>(kImageSize));
    view.FillFromImage(image.data());
    const QStringList states = controlStates(view);
    for (const char* name : {"Button1", "PageControl2"}) {
        for (const Qt::Key key : kEnterKeys) {
            SCOPED_TRACE(std::string(name) + ", " + enterKeyName(key));
            view.setResult(-1);
            view.show();
            ASSERT_TRUE(pressEnterOn(view.findChild<QWidget*>(QString::fromLatin1(name)), key));
            EXPECT_FALSE(view.isVisible());
            EXPECT_EQ(view.result(), QDialog::Accepted);
            EXPECT_EQ(changedStates(states, controlStates(view)), "");
        }
    }
}

// The cable choice has one button, "OK": Enter takes the cable chosen in the
// list, whatever has the focus.
TEST(CableDialogEnter, TakesTheChosenCableThroughOk) {
    TftdiDialog dialog;
    dialog.setSerials({QStringLiteral("FT4K8W01"), QStringLiteral("FT4K8W02")});
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("devCombo"));
    for (const char* name : {"devCombo", "Button1"}) {
        for (const Qt::Key key : kEnterKeys) {
            SCOPED_TRACE(std::string(name) + ", " + enterKeyName(key));
            list->setCurrentIndex(1);
            dialog.setResult(-1);
            dialog.show();
            ASSERT_TRUE(pressEnterOn(dialog.findChild<QWidget*>(QString::fromLatin1(name)), key));
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.chosenSerial(), QStringLiteral("FT4K8W02"));
        }
    }
}

} // namespace
} // namespace k8w::test
