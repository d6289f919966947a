#include "app/tenterkeydialog.h"

#include "app/tkeythread.h"
#include "common/day_date.h"
#include "common/message_box.h"
#include "keys/key_code.h"
#include "keys/key_texts.h"
#include "keys/one_wire_port.h"
#include "keys/subscribers.h"
#include "ui_tenterkeydialog.h"

#include <QShowEvent>

#include <algorithm>

namespace k8w {

TenterKeyDialog::TenterKeyDialog(keys::OneWirePort& port, Clock& clock, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TenterKeyDialog>()), port_(port), clock_(clock) {
    ui->setupUi(this);
    // No title-bar buttons: the dialog is left through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());
    result_.entryDate = 0;
    connect(ui->okButton, &QPushButton::clicked, this, [this] { okButtonClick(); });
    connect(ui->cancelBtn, &QPushButton::clicked, this, [this] { cancelBtnClick(); });
}

TenterKeyDialog::~TenterKeyDialog() {
    for (const auto& [run, worker] : workers_) worker->Terminate();
    if (!workers_.empty()) port_.StopAll1WireOperations();
    workers_.clear();  // each waits for its thread to end
}

int TenterKeyDialog::Run(const KeyEntry* partitionSlots) {
    ui->subsCombo->clear();
    ui->subsCombo->addItems(keys::SubscriberChoices(partitionSlots));
    ui->subsCombo->setCurrentIndex(0);
    return exec();
}

void TenterKeyDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormActivate();
}

void TenterKeyDialog::FormActivate() {
    flags_.clear();
    ui->cancelBtn->setEnabled(true);
    ui->okButton->setEnabled(false);
    ui->keyOkLabel->hide();
    ui->keyLabel->hide();
    ui->keyProgress->show();
    ui->Label1->show();
    ui->keyProgress->setValue(0);
    // Signals queued by an earlier showing's worker are told apart by the showing's number.
    const int run = ++run_;
    auto worker = std::make_unique<TKeyThread>(port_, clock_, portInUse_);
    connect(worker.get(), &TKeyThread::progressChanged, this, [this, run](int hits) {
        if (run == run_) ui->keyProgress->setValue(hits);
    });
    connect(worker.get(), &TKeyThread::completed, this, [this, run] {
        if (run == run_) KeyThreadDone();
    });
    // Every worker is released once it has ended: after a key, a reader failure or a stop.
    connect(worker.get(), &QThread::finished, this, [this, run] { releaseWorker(run); });
    worker->start();
    workers_[run] = std::move(worker);
}

void TenterKeyDialog::KeyThreadDone() {
    // The worker waits while this runs: its outcome is complete and stays put.
    const TKeyThread& worker = *workers_.at(run_);
    flags_.keyRead.store(worker.flags().keyRead.load());
    flags_.readerFailure.store(worker.flags().readerFailure.load());
    if (flags_.keyRead.load()) {
        std::copy(worker.keyCode().begin(), worker.keyCode().end(), result_.keyCode);
        ui->keyProgress->hide();
        ui->Label1->hide();
        ui->okButton->setEnabled(true);
        ui->keyOkLabel->show();
        ui->keyLabel->setText(keys::KeyCodeText(result_.keyCode));
        ui->keyLabel->show();
    } else if (flags_.readerFailure.load()) {
        showMessage(QStringLiteral("Внимание!"), keys::kReaderFailureText, MsgButtons::Ok, MsgIcon::Warning);
        done(2);
    }
}

void TenterKeyDialog::okButtonClick() {
    result_.state = 1;
    result_.subscriber = static_cast<std::uint8_t>(keys::SubscriberOfChoice(ui->subsCombo->currentText()));
    result_.entryDate = dayDateNow();
    done(1);  // the worker has ended; it is released as it ends
}

void TenterKeyDialog::cancelBtnClick() {
    ui->cancelBtn->setEnabled(false);
    ui->okButton->setEnabled(false);
    // The worker is asked first, so one that has not reached the reader yet
    // never does; the driver's stop then releases a read that waits for a key.
    if (const auto it = workers_.find(run_); it != workers_.end()) it->second->Terminate();
    port_.StopAll1WireOperations();
    // A driver call in progress is not waited for: the worker ends in the
    // background and is released then.
    done(2);
}

void TenterKeyDialog::reject() {
    if (ui->cancelBtn->isEnabled()) cancelBtnClick();
}

void TenterKeyDialog::releaseWorker(int run) {
    const auto it = workers_.find(run);
    if (it == workers_.end()) return;
    it->second->Join();
    workers_.erase(it);
}

} // namespace k8w
