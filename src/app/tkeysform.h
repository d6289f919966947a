#pragma once
#include "cards/card.h"

#include <QDialog>
#include <QString>

#include <memory>

class QPainter;
class QRect;

namespace Ui {
class TkeysForm;
}

namespace k8w {

struct CardTable;
class TenterKeyDialog;
class TmanualKeyDlg;
class WindowCardBase;

// The key table: the six key slots of partitions 1-3 of one card. Every
// change goes into the card table and the database file at once, or, once
// the main window hands over its card base, through that base.
class TkeysForm : public QDialog {
    Q_OBJECT
public:
    TkeysForm(CardTable& table, WindowCardBase& base, TenterKeyDialog& enterKeyDialog,
              TmanualKeyDlg& manualKeyDlg, QWidget* parent = nullptr);
    ~TkeysForm() override;

    // Changes go through `base` (which works on the same table) from now on.
    // Shows the window modally for the card in slot `cardIndex`.
    int ShowForCard(int cardIndex);
    // The card shown changed elsewhere: shows it again.
    void cardChanged();

    void FormActivate();
    void TabControl1Change();
    void RefreshDateLabel();
    // The text of a grid cell: row numbers, headings, and the slots of the tab's partition.
    QString keysTabCellText(int column, int row) const;
    void keysTabDrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected) const;
    void keyEnterBtnClick();
    void keyManualBtnClick();
    void keyDelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    int partition() const;      // 1-3, or 0 on the note tab
    KeyEntry* partitionSlots() const;
    KeyEntry& selectedSlot() const;
    int selectedEntry() const;  // 0-5
    // Stores `key` into the selected slot: true when it is stored.
    bool storeKey(const KeyEntry& key);
    // Runs a key dialog for the selected slot and stores what it returns.
    template <typename Dialog> void enterKey(Dialog& dialog);
    void slotChanged();

    std::unique_ptr<Ui::TkeysForm> ui;
    CardTable& table_;
    WindowCardBase& base_;
    TenterKeyDialog& enterKeyDialog_;
    TmanualKeyDlg& manualKeyDlg_;
    int cardIndex_ = 0;
};

} // namespace k8w
