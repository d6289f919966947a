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

TenterKeyDialog::~TenterKeyDialog() { releaseWorker(); }

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
    releaseWorker();  // one that ended after a reader failure
    flags_.clear();
    ui->cancelBtn->setEnabled(true);
    ui->okButton->setEnabled(false);
    ui->keyOkLabel->hide();
    ui->keyLabel->hide();
    ui->keyProgress->show();
    ui->Label1->show();
    ui->keyProgress->setValue(0);
    worker_ = std::make_unique<TKeyThread>(port_, clock_, flags_, result_.keyCode);
    connect(worker_.get(), &TKeyThread::progressChanged, ui->keyProgress, &QProgressBar::setValue);
    connect(worker_.get(), &TKeyThread::completed, this, [this] { KeyThreadDone(); });
    // After a reader failure nobody else ends the worker: it is released once it has ended.
    connect(worker_.get(), &QThread::finished, this, [this, worker = worker_.get()] {
        if (worker_.get() == worker && flags_.readerFailure.load()) releaseWorker();
    });
    worker_->start();
}

void TenterKeyDialog::KeyThreadDone() {
    if (flags_.keyRead.load()) {
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
    releaseWorker();
    done(1);
}

void TenterKeyDialog::cancelBtnClick() {
    ui->cancelBtn->setEnabled(false);
    ui->okButton->setEnabled(false);
    port_.StopAll1WireOperations();
    releaseWorker();
    done(2);
}

void TenterKeyDialog::reject() {
    if (ui->cancelBtn->isEnabled()) cancelBtnClick();
}

void TenterKeyDialog::releaseWorker() {
    if (!worker_) return;
    worker_->Terminate();
    worker_->Join();
    worker_.reset();
}

} // namespace k8w
