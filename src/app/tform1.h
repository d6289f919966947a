#pragma once
#include "app/app_hardware.h"
#include "cards/card.h"
#include "cards/card_table.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <random>
#include <vector>

class QComboBox;
class QLabel;
class QStatusBar;
class QTimer;

namespace Ui {
class TForm1;
}

namespace k8w {

class CardGridModel;
class CardStore;
class TForm2;
class TForm4;
class THistoryDialog;
class TenterKeyDialog;
class TftdiDialog;
class TkeysForm;
class TmanualKeyDlg;
class WindowCardBase;
struct CardEditorValues;
namespace link {
class LinkWorker;
struct ExchangeOutcome;
}

// The main window: the card list and the card editor.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    static inline const QString kProgramVersion = QStringLiteral("1.05");

    // On the database file of the current directory.
    explicit TForm1(const AppHardware& hardware = {}, QWidget* parent = nullptr);
    // On the card base `store` opens (a file store with Held access, or a shared base).
    explicit TForm1(std::unique_ptr<CardStore> store, const AppHardware& hardware = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Window state.
    CardTable& cardTable() { return *table_; }
    const CardTable& cardTable() const { return *table_; }
    int currentCardIndex() const { return currentCard; }
    bool isEditMode() const { return editMode; }
    int searchRowValue() const { return searchRow; }
    bool isSaveOnClose() const { return saveOnClose; }
    const QString& databaseFileName() const { return dbFileName; }
    const QString& cableSerial() const { return selectedCableSerial; }
    CardGridModel& gridModel() { return *gridModel_; }
    WindowCardBase& cardBase() { return *cardBase_; }
    QTimer& busyTimer() { return *Timer1; }

    // Editing mode, deletion and search.
    void SetEditMode(bool on);
    void BitBtn1Click();
    void BitBtn3Click();
    void SetsGridClick();
    void SearchNext();
    void SearchEditClick();
    void SearchEditChange();
    void SearchEditKeyDown(int key);
    void SearchEditExit();
    void SpeedButton3Click();
    void FormCloseQuery(bool& canClose);
    void FormClose();
    void Timer1Timer();
    void SpeedButton2Click();
    void ExitBtnClick();

    // Validation and save.
    void BitBtn2Click();
    void ValidateAndSave();
    CardEditorValues editorValues() const;

    // Device buttons: programming and reading.
    void ProgBtnClick();
    void SetProgramming(bool on);
    void SpeedButton1Click();
    void SelectCable();
    void ProgFinished(const link::ExchangeOutcome& outcome);
    void ReadFinished(const link::ExchangeOutcome& outcome);
    void FormDestroy();
    // A worker has not ended yet (running, or finishing after a stop).
    bool hasDeviceWorker() const { return !progWorker.isNull() || !readWorker.isNull(); }
    TftdiDialog& cableDialog() { return *ftdiDialog_; }
    TForm2& readView() { return *readView_; }

    // The other windows.
    void ctrlWinBtnClick();
    void keysWinBtnClick();
    TForm4& controlWindow() { return *form4_; }
    TkeysForm& keyTable() { return *keysForm_; }
    THistoryDialog& historyDialog() { return *historyDialog_; }
    void HistoryBtnClick();

    // The status bar: which base is open and its state (a permanent part),
    // and messages of the moment (showMessage).
    QStatusBar* statusBar() const;

    // Card binding.
    void ShowCard(int slot);
    void ShowCardLinks(const Card& c);
    void TakeCard(int slot);
    void ShowCardSummary();

    // Editor rules.
    void Cord1Change();
    void Cord1PartChange();
    void Cord2PartChange(QComboBox* sender);
    void partSupportCheckClick();
    void RelayComboBox1Change(QComboBox* sender);
    void PageControl2Change();
    void VersionComboChange();
    void UseSim1Click();
    void UseSim2Click();
    void balEnableClick();
    void sendSMS1CheckClick();
    void allowUpdateCheckClick();
    void defaultUpdSettingsClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitGrid();
    void FillGrid();
    void fillGridRows();
    // Other users changed these slots: their rows follow, and the card shown
    // when it is not being edited.
    void cardsChangedElsewhere(const std::vector<int>& changed, bool all);
    void leaveEditing();
    void connectHandlers();
    void addStatusBar();
    void selectGridRow(int gridRow);
    bool cardTextsMatch(int gridRow, const QByteArray& text) const;
    void createWindows();
    void startWorker(link::LinkWorker* worker, QPointer<link::LinkWorker>& slot);
    void workerEnded(link::LinkWorker* worker);
    void applyDeviceButtons();
    // The base's part of the buttons: a user who may only read the base
    // sees the changing ones disabled with the reason; the history is
    // offered on a base that keeps one. Run after every change of the buttons.
    void applyBaseRights();
    void setUpBaseState();
    void showBaseState();
    void showLastChange();  // "Изменено: who, when" of the card shown
    void reseedRandom();                // from the clock
    int randomInt(int low, int high);  // uniform in low..high

    std::unique_ptr<Ui::TForm1> ui;
    AppHardware hardware_;
    TftdiDialog* ftdiDialog_ = nullptr;
    TForm2* readView_ = nullptr;
    TForm4* form4_ = nullptr;
    TenterKeyDialog* enterKeyDialog_ = nullptr;
    TkeysForm* keysForm_ = nullptr;
    TmanualKeyDlg* manualKeyDlg_ = nullptr;
    THistoryDialog* historyDialog_ = nullptr;
    QLabel* baseStatus_ = nullptr;
    std::unique_ptr<CardTable> table_;
    std::unique_ptr<WindowCardBase> cardBase_;  // after the table it works on
    CardGridModel* gridModel_ = nullptr;
    QTimer* Timer1 = nullptr;
    // The type and partition lists of loops 1-5, in loop order.
    std::array<QComboBox*, 5> loopTypes_{};
    std::array<QComboBox*, 5> loopParts_{};
    std::mt19937 random_;

    bool editMode = false;
    int currentCard = -1;
    int searchRow = 1;
    bool saveOnClose = false;
    QString selectedCableSerial;
    QString dbFileName;

    bool programmingActive = false;
    bool readingActive = false;
    int programmedSlot_ = -1;  // the card of the running programming attempt
    QPointer<link::LinkWorker> progWorker;
    QPointer<link::LinkWorker> readWorker;
};

// One grid row of a card in use: code, card number, object, change date and
// (only when the card was ever programmed) programming date.
std::array<QString, 5> CardRowTexts(const Card& card);

} // namespace k8w
