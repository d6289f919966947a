#pragma once
#include "cards/card.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TmanualKeyDlg;
}

namespace k8w {

// Manual key entry: the subscriber and the twelve digits of the key code as
// the monitoring station's card shows them.
class TmanualKeyDlg : public QDialog {
    Q_OBJECT
public:
    explicit TmanualKeyDlg(QWidget* parent = nullptr);
    ~TmanualKeyDlg() override;

    // Offers the subscribers without a key among the partition's six slots,
    // runs the dialog modally and returns 1 (OK: result() is complete) or 2.
    int Run(const KeyEntry* partitionSlots);
    const KeyEntry& result() const { return result_; }

    void FormActivate();
    void keyEditChange();
    void okButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override { done(2); }

private:
    std::unique_ptr<Ui::TmanualKeyDlg> ui;
    KeyEntry result_{};
};

} // namespace k8w
