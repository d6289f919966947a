// Pictures of the key table and its dialogs, with a check that every visible
// text fits its control.
#include "key_window_fixture.h"

#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>

namespace k8w::test {
namespace {

using KeyPictures = KeyWindowTest;

void expectReadable(QWidget& window) {
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisible() || child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QString name = child->objectName();
        if (!qobject_cast<QAbstractScrollArea*>(child->parentWidget())) {
            EXPECT_TRUE(child->parentWidget()->rect().contains(child->geometry())) << name.toStdString() << " sticks out";
        }
        const QFontMetrics fm = child->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(child); label && !label->wordWrap()) {
            EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width()) << name.toStdString();
        } else if (label) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name.toStdString();
        } else if (auto* button = qobject_cast<QPushButton*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(button->text()) + 12, button->width()) << name.toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 12, group->width()) << name.toStdString();
        } else if (auto* combo = qobject_cast<QComboBox*>(child)) {
            EXPECT_LE(combo->sizeHint().width(), combo->width() + 40) << name.toStdString();
        }
    }
}

void save(QWidget& window, const char* file) {
    QApplication::processEvents();
    window.grab().save(QStringLiteral(K8W_PICTURE_DIR "/") + QLatin1String(file));
}

TEST_F(KeyPictures, KeyTableWithKeys) {
    slot(1, 0) = installed(1, 0x70);
    slot(1, 1) = installed(2, 0x01);
    slot(1, 2) = installed(32, 0x7A);
    whenModal([&] {
        expectReadable(keysForm);
        save(keysForm, "keys_form_note.png");
        QTabBar* tabs = child<QTabBar>(keysForm, "TabControl1");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        auto* grid = child<QTableWidget>(keysForm, "keysTab");
        // Every cell text fits its column.
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(grid->fontMetrics().horizontalAdvance(keysForm.keysTabCellText(c, r)) + 4, grid->columnWidth(c))
                    << r << "," << c;
        child<QLabel>(keysForm, "Label2")->show();
        expectReadable(keysForm);
        save(keysForm, "keys_form.png");
        keysForm.accept();
    });
    showKeys();
}

TEST_F(KeyPictures, KeyReaderReadingAndRead) {
    reader.touch(sim::SimOneWirePort::KeyIdentity(0x0000'1234'5678'9ABCULL), 1000, 60'000);
    const KeyEntry entries[6] = {};
    whenModal([&] {
        expectReadable(enterKeyDialog);
        save(enterKeyDialog, "key_reader.png");
        ASSERT_TRUE(waitFor([&] { return child<QLabel>(enterKeyDialog, "keyLabel")->isVisible(); }));
        expectReadable(enterKeyDialog);
        save(enterKeyDialog, "key_reader_done.png");
        click(enterKeyDialog, "okButton");
    });
    enterKeyDialog.Run(entries);
}

TEST_F(KeyPictures, ManualEntry) {
    const KeyEntry entries[6] = {};
    whenModal([&] {
        typeInto(child<QLineEdit>(manualKeyDlg, "keyEdit"), QStringLiteral("0A1B2C3D4E5F"));
        expectReadable(manualKeyDlg);
        save(manualKeyDlg, "manual_key.png");
        click(manualKeyDlg, "cancelBtn");
    });
    manualKeyDlg.Run(entries);
}

} // namespace
} // namespace k8w::test
