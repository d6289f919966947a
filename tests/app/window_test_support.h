#pragma once
#include "app/tform1.h"
#include "store/card_file.h"
#include "cards/card_table.h"
#include "support/recording_message_boxes.h"
#include "support/temp_workdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace k8w::test {

// A card in use with the given code, number and object; everything else a
// test sets itself.
Card usedCard(std::uint32_t code, const QString& number, const QString& object,
              double changeDate = 45000.5);

// Writes a whole database file (9000 slots and the template) in the current
// directory.
void writeDatabase(const CardTable& table);
// Reads the database file of the current directory back; fails the test when
// it cannot be read.
std::unique_ptr<CardTable> readDatabase();
bool databaseExists();
// Types a text key by key into the widget with the focus.
void typeText(QWidget* target, const QString& text);

// Each test runs in its own directory with recorded message boxes and its
// own main window, built after the test has prepared the database.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override;

    TForm1& open();  // builds and shows the window
    TForm1& window() { return *window_; }

    template <typename T = QWidget> T* find(const char* name) {
        T* w = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QComboBox* combo(const char* name) { return find<QComboBox>(name); }
    QCheckBox* check(const char* name) { return find<QCheckBox>(name); }

    // User actions.
    void click(const char* buttonName);
    void clickCheck(const char* boxName);
    void type(const char* editName, const QString& text);  // replaces the text
    void choose(const char* comboName, int index);         // picks an item from the list
    void clickRow(int gridRow);
    void clickTab(const char* tabWidgetName, int index);
    void pressEnter(const char* editName);

    int selectedRow();  // grid row (1-based) of the grid's current row
    QString cell(int gridRow, int column);

    // Enters editing mode and fills every field a save requires.
    void startEditing();
    void fillValidCard(const QString& code = QStringLiteral("100"));
    // Runs the save button and returns the warning shown, or empty.
    QString saveAndGetWarning();

    // Lets the event loop run until the device attempt's worker has ended.
    bool waitForWorker();
    // Runs `action` once `w` is shown (a modal window blocks the test's click).
    void whenShown(QWidget* w, std::function<void()> action);

    TempWorkdir dir;
    RecordingMessageBoxes boxes;
    AppHardware hardware;  // the system's cables unless a test sets simulated ones
    std::unique_ptr<CardTable> table = CardTable::create();  // prepared before open()
    std::unique_ptr<TForm1> window_;
};

} // namespace k8w::test
