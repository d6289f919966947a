// Enter in the key table and the two key dialogs: only manual entry's OK is
// pressed by it; nothing else opens, asks, stores or closes.
#include "enter_key_support.h"
#include "key_window_fixture.h"

#include <QFile>
#include <QTabBar>
#include <QTableWidget>

#include <cstring>

namespace k8w::test {
namespace {

using KeyTableEnter = KeyWindowTest;
using KeyReaderEnter = KeyWindowTest;
using ManualEntryEnter = KeyWindowTest;

const sim::SimOneWirePort::Identity kKey = sim::SimOneWirePort::KeyIdentity(0x0000'1234'5678'9ABCULL);

TEST_F(KeyTableEnter, OpensNoDialogAndChangesNoKeyWhereverTheFocusIs) {
    slot(1, 0) = installed(4, 0x01);  // the selected slot holds a key the delete button would ask about
    const Card before = card();
    whenModal([&] {
        QTabBar* tabs = child<QTabBar>(keysForm, "TabControl1");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        auto* grid = child<QTableWidget>(keysForm, "keysTab");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 1)).center());
        const OtherWindowTrap trap(keysForm);
        const QStringList states = controlStates(keysForm);
        for (const char* name : {"TabControl1", "keysTab", "keyEnterBtn", "keyManualBtn", "keyDelBtn", "Button1"}) {
            for (const Qt::Key key : kEnterKeys) {
                SCOPED_TRACE(std::string(name) + ", " + enterKeyName(key));
                if (!pressEnterOn(child(keysForm, name), key)) {
                    ADD_FAILURE() << name << " takes no focus";
                    continue;
                }
                QCoreApplication::processEvents();
                EXPECT_TRUE(keysForm.isVisible());
                EXPECT_TRUE(boxes.shown().isEmpty());
                EXPECT_TRUE(trap.shown.isEmpty()) << trap.shown.join(QLatin1Char(' ')).toStdString();
                EXPECT_EQ(changedStates(states, controlStates(keysForm)), "");
                EXPECT_EQ(std::memcmp(&card(), &before, sizeof(Card)), 0);
                EXPECT_TRUE(baseUnchanged()) << "the database file was written";
            }
        }
        if (keysForm.isVisible()) click(keysForm, "Button1");
    });
    showKeys();
}

TEST_F(KeyReaderEnter, PressesNothingWhileReadingNorOnceTheKeyIsRead) {
    const KeyEntry entries[6] = {};
    for (const bool keyRead : {false, true}) {
        SCOPED_TRACE(keyRead ? "key read" : "reading");
        if (keyRead) reader.touch(kKey, 0, 60'000);  // else no key comes: the read waits
        whenModal([&] {
            if (keyRead)
                EXPECT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
            else
                EXPECT_TRUE(waitFor([&] { return reader.reads() >= 1; }));
            const QStringList states = controlStates(enterKeyDialog);
            std::vector<const char*> focusable{"subsCombo", "cancelBtn"};
            if (keyRead) focusable.push_back("okButton");  // enabled once the key is read
            for (const char* name : focusable) {
                for (const Qt::Key key : kEnterKeys) {
                    SCOPED_TRACE(std::string(name) + ", " + enterKeyName(key));
                    EXPECT_TRUE(pressEnterOn(child(enterKeyDialog, name), key)) << name << " takes no focus";
                    QCoreApplication::processEvents();
                    EXPECT_TRUE(enterKeyDialog.isVisible());
                    EXPECT_EQ(changedStates(states, controlStates(enterKeyDialog)), "");
                }
            }
            if (enterKeyDialog.isVisible()) click(enterKeyDialog, "cancelBtn");
        });
        EXPECT_EQ(enterKeyDialog.Run(entries), 2);
        EXPECT_EQ(enterKeyDialog.result().state, 0);
        EXPECT_TRUE(boxes.shown().isEmpty());
    }
}

TEST_F(ManualEntryEnter, PressesOkFromEveryControlButCancel) {
    const KeyEntry entries[6] = {};
    const struct {
        const char* name;
        bool pressesOk;
    } focused[] = {{"keyEdit", true}, {"subsCombo", true}, {"okButton", true}, {"cancelBtn", false}};
    for (const auto& c : focused) {
        for (const Qt::Key key : kEnterKeys) {
            SCOPED_TRACE(std::string(c.name) + ", " + enterKeyName(key));
            whenModal([&] {
                typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), QStringLiteral("0A1B2C3D4E5F"));
                choose(child<QComboBox>(manualKeyDlg, "subsCombo"), 1);  // "Абонент 2 (Дов. лицо)"
                const QStringList states = controlStates(manualKeyDlg);
                EXPECT_TRUE(pressEnterOn(child(manualKeyDlg, c.name), key)) << c.name << " takes no focus";
                QCoreApplication::processEvents();
                EXPECT_EQ(manualKeyDlg.isVisible(), !c.pressesOk);
                if (!c.pressesOk) {
                    EXPECT_EQ(changedStates(states, controlStates(manualKeyDlg)), "");
                }
                if (manualKeyDlg.isVisible()) click(manualKeyDlg, "cancelBtn");
            });
            const int result = manualKeyDlg.Run(entries);
            EXPECT_EQ(result, c.pressesOk ? 1 : 2);
            if (result == 1) {
                EXPECT_EQ(manualKeyDlg.result().subscriber, 2);
                EXPECT_EQ(manualKeyDlg.result().keyCode[5], 0x0A);
                EXPECT_EQ(manualKeyDlg.result().keyCode[0], 0x5F);
            }
        }
    }
    EXPECT_TRUE(boxes.shown().isEmpty());
}

} // namespace
} // namespace k8w::test
