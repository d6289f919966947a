#pragma once
#include "cards/card.h"
#include "keys/key_reader.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TenterKeyDialog;
}

namespace k8w {

class Clock;
class TKeyThread;
namespace keys {
class OneWirePort;
}

// The key reader dialog: the user picks a subscriber and touches the key to
// the 1-Wire reader until it has been seen four times.
class TenterKeyDialog : public QDialog {
    Q_OBJECT
public:
    TenterKeyDialog(keys::OneWirePort& port, Clock& clock, QWidget* parent = nullptr);
    ~TenterKeyDialog() override;

    // Offers the subscribers without a key among the partition's six slots,
    // runs the dialog modally and returns 1 (OK: result() is complete) or 2.
    int Run(const KeyEntry* partitionSlots);
    const KeyEntry& result() const { return result_; }

    void FormActivate();
    void okButtonClick();
    void cancelBtnClick();
    // The worker's completion step.
    void KeyThreadDone();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;  // Escape and closing the window act as Cancel

private:
    void releaseWorker();

    std::unique_ptr<Ui::TenterKeyDialog> ui;
    keys::OneWirePort& port_;
    Clock& clock_;
    keys::KeyReaderFlags flags_;
    KeyEntry result_{};
    std::unique_ptr<TKeyThread> worker_;
};

} // namespace k8w
