// The main window's device buttons: the choice of a cable, the programming
// and reading workers and their completion steps, and the end of workers
// when the window goes away.
#include "app/tform1.h"

#include "app/card_grid_model.h"
#include "app/tform2.h"
#include "app/tftdi_dialog.h"
#include "app/window_card_base.h"
#include "cards/config_image.h"
#include "common/day_date.h"
#include "common/message_box.h"
#include "link/exchange_outcome.h"
#include "link/link_workers.h"
#include "ui_tform1.h"

#include <QTimer>

namespace k8w {
namespace {

const QString kNotFinished = QStringLiteral("Операция не завершена");
const QString kProgramText = QStringLiteral("Программировать");
const QString kReadText = QStringLiteral("Считать");
const QString kStopText = QStringLiteral("Остановить");
// How long the main window waits for each running worker when it goes away.
constexpr int kWorkerEndWaitMs = 1500;

} // namespace

void TForm1::SelectCable() {
    link::FtdiDriver& cables = hardware_.cableDriver();
    std::uint32_t count = 0;
    if (cables.createDeviceInfoList(&count) != link::kFtOk || count == 0) return;
    if (!selectedCableSerial.isEmpty()) return;  // an earlier choice stands
    link::FtDeviceInfo list[link::kDeviceListSize] = {};
    std::uint32_t listed = 0;
    if (cables.getDeviceInfoList(list, link::kDeviceListSize, &listed) != link::kFtOk || listed == 0) return;
    listed = std::min<std::uint32_t>(listed, link::kDeviceListSize);
    if (listed == 1) {
        selectedCableSerial = QString::fromLatin1(list[0].serialNumber);
        return;
    }
    QStringList serials;
    for (std::uint32_t i = 0; i < listed; ++i) serials << QString::fromLatin1(list[i].serialNumber);
    ftdiDialog_->setSerials(serials);
    ftdiDialog_->exec();
    selectedCableSerial = ftdiDialog_->chosenSerial();
}

void TForm1::ProgBtnClick() {
    ReseedImageRandom();
    const Card* card = currentCard >= 0 ? &table_->cards[static_cast<std::size_t>(currentCard)] : nullptr;
    if (card == nullptr || !isCardInUse(*card)) {
        showMessage(kAttention, link::kEmptyCardText, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    if (!programmingActive) {
        // Refused before any worker starts: an empty image would overwrite
        // the device, and a result that cannot be recorded would be lost.
        if (card->version != 0) {
            showMessage(kAttention, link::kUnsupportedVersionText, MsgButtons::Ok, MsgIcon::Warning);
            return;
        }
        if (!cardBase_->beginProgramming(currentCard)) return;
    }
    programmingActive = !programmingActive;
    SetProgramming(programmingActive);
    if (!programmingActive)
        showMessage(kNotFinished, link::kProgStoppedText, MsgButtons::Ok, MsgIcon::Warning, true);
}

void TForm1::SetProgramming(bool on) {
    ui->ProgBtn->setText(on ? kStopText : kProgramText);
    if (!on) ui->Progress->setValue(0);
    ui->SpeedButton1->setEnabled(!on);
    ui->BitBtn1->setEnabled(!on);
    ui->SetsGrid->setEnabled(!on);
    if (on) Timer1->start(); else Timer1->stop();
    ui->Progress->setVisible(on);
    applyBaseRights();
    if (!on) {
        if (progWorker) progWorker->Stop();
        applyDeviceButtons();
        return;
    }
    SelectCable();
    programmedSlot_ = currentCard;
    startWorker(new link::TProgThread(table_->cards[static_cast<std::size_t>(currentCard)],
                                      selectedCableSerial.toStdString(), hardware_.cableDriver(),
                                      hardware_.timeSource(), this,
                                      [this](const link::ExchangeOutcome& outcome) { ProgFinished(outcome); }),
                progWorker);
}

void TForm1::ProgFinished(const link::ExchangeOutcome& outcome) {
    Timer1->stop();
    ui->Progress->setValue(0);
    const bool programmed = outcome.exchangeSucceeded && programmedSlot_ >= 0;
    const double programmedAt = dayDateNow();
    // The result is recorded before anything is shown: closing the window
    // while the box is open loses nothing. A result that could not be
    // written is tried again when the window closes.
    if (!cardBase_->endProgramming(programmed, outcome.imageCheckValue, programmedAt) && programmed)
        saveOnClose = true;
    if (programmed) {
        // Only the result fields, on the newest version of the card, which may
        // hold others' changes beside it. The search may have moved to
        // another card while the write ran: the programmed card's row is
        // rewritten, then the shown card's.
        gridModel_->setRow(programmedSlot_ + 1, CardRowTexts(table_->cards[static_cast<std::size_t>(programmedSlot_)]));
        ShowCardSummary();
        showMessage(QStringLiteral("Операция завершена"), link::kProgDoneText, MsgButtons::Ok, MsgIcon::Information);
    } else if (outcome.exchangeFailed) {
        showMessage(kAttention, link::kProgFailedText + outcome.failureReason + QStringLiteral("\n\n"),
                    MsgButtons::Ok, MsgIcon::Warning);
    }
    ui->ProgBtn->setText(kProgramText);
    ui->Progress->hide();
    programmingActive = false;
    applyDeviceButtons();
}

void TForm1::SpeedButton1Click() {
    readingActive = !readingActive;
    ui->ProgBtn->setEnabled(!readingActive);
    ui->BitBtn1->setEnabled(!readingActive);
    ui->SetsGrid->setEnabled(!readingActive);
    ui->Progress->setVisible(readingActive);
    if (readingActive) {
        ui->SpeedButton1->setText(kStopText);
    } else {
        ui->SpeedButton1->setText(kReadText);
        ui->Progress->setValue(0);
        if (readWorker) readWorker->Stop();
    }
    if (readingActive) Timer1->start(); else Timer1->stop();
    applyBaseRights();
    if (!readingActive) {
        applyDeviceButtons();
        showMessage(QStringLiteral("Внимание!"), link::kReadStoppedText, MsgButtons::Ok, MsgIcon::Warning, true);
        return;
    }
    SelectCable();
    startWorker(new link::TReadThread(selectedCableSerial.toStdString(), hardware_.cableDriver(),
                                      hardware_.timeSource(), this,
                                      [this](const link::ExchangeOutcome& outcome) { ReadFinished(outcome); }),
                readWorker);
}

void TForm1::ReadFinished(const link::ExchangeOutcome& outcome) {
    Timer1->stop();
    ui->Progress->setValue(0);
    if (outcome.exchangeSucceeded) {
        // The worker waits, and keeps the cable, until the view is closed.
        readView_->FillFromImage(outcome.readImage.data());
        readView_->SetVersionText(outcome.readVersion);
        readView_->exec();
    } else if (outcome.exchangeFailed) {
        showMessage(kAttention, link::kReadFailedText + outcome.failureReason + QStringLiteral("\n\n"),
                    MsgButtons::Ok, MsgIcon::Warning);
    }
    ui->SpeedButton1->setText(kReadText);
    ui->Progress->hide();
    editMode = false;
    SetEditMode(false);
    readingActive = false;
    applyDeviceButtons();
}

void TForm1::startWorker(link::LinkWorker* worker, QPointer<link::LinkWorker>& slot) {
    slot = worker;
    connect(worker, &QThread::finished, this, [this, worker] { workerEnded(worker); });
    worker->start();
}

// The worker has let go of the cable and the log: a new attempt may start.
void TForm1::workerEnded(link::LinkWorker* worker) {
    if (progWorker == worker) progWorker = nullptr;
    if (readWorker == worker) readWorker = nullptr;
    worker->wait();  // its last steps after the signal
    delete worker;
    applyDeviceButtons();
}

// While a stopped worker is still finishing, no new attempt and no editing
// may start: both would want the cable and the log it still holds.
void TForm1::applyDeviceButtons() {
    const bool idle = !programmingActive && !readingActive;
    const bool finishing = idle && hasDeviceWorker();
    if (!idle && !finishing) return;
    ui->ProgBtn->setEnabled(!finishing && !editMode);
    ui->SpeedButton1->setEnabled(!finishing && !editMode);
    ui->BitBtn1->setEnabled(!finishing);
    ui->SetsGrid->setEnabled(!editMode);
    applyBaseRights();
}

void TForm1::FormDestroy() {
    for (QPointer<link::LinkWorker>* slot : {&readWorker, &progWorker}) {
        link::LinkWorker* worker = slot->data();
        *slot = nullptr;
        if (worker == nullptr) continue;
        disconnect(worker, nullptr, this, nullptr);
        worker->Abandon();  // its completion step never runs from now on
        if (worker->wait(kWorkerEndWaitMs)) {
            delete worker;
        } else {
            link::AdoptLinkWorker(worker);
        }
    }
}

} // namespace k8w
