#pragma once
#include "cards/card.h"
#include "keys/key_reader.h"

#include <QDialog>

#include <map>
#include <memory>
#include <mutex>

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
// the 1-Wire reader until it has been seen four times. Cancel closes it at
// once: a worker inside a driver call finishes it in the background, its
// outcome dropped, and is waited for when it ends (or when the dialog goes).
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
    // Waits for the worker of showing `run`, which has ended, and releases it.
    void releaseWorker(int run);

    std::unique_ptr<Ui::TenterKeyDialog> ui;
    keys::OneWirePort& port_;
    Clock& clock_;
    keys::KeyReaderFlags flags_;  // the outcome of this showing's worker
    KeyEntry result_{};
    std::mutex portInUse_;  // held by the worker using the port
    int run_ = 0;           // the number of the current showing
    // The workers not yet ended, by the showing that started them: this
    // showing's and those left behind by a Cancel.
    std::map<int, std::unique_ptr<TKeyThread>> workers_;
};

} // namespace k8w
