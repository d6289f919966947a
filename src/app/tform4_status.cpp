// The control window's view of the device: fetched replies, the loop grid,
// the indicators and the blinking key field.
#include "app/tform4.h"

#include "link/link_block.h"
#include "ui_tform4.h"

#include <QTimer>

namespace k8w {

void TForm4::Timer1Timer() {
    if (!isVisible()) return;
    control::CtrlCommand reply;
    QString text;
    const int result = link_->FetchReply(reply, text);
    if (result == control::kFetchNothing) return;
    if (!text.isEmpty()) Log(text);
    if (result == control::kCmdStatus)
        TakeStatus(reply);
    else if (result == control::kCmdReadKey)
        TakeKey(reply);
}

void TForm4::TakeStatus(const control::CtrlCommand& status) {
    for (std::size_t k = 0; k < loopReadings.size(); ++k)
        loopReadings[k] = static_cast<std::uint16_t>(status.payload[2 + 2 * k] | status.payload[3 + 2 * k] << 8);
    RefreshLoops();
    const std::uint8_t flags = status.payload[1];
    ui->powerCheck->setChecked(flags & control::kFlagPower);
    ui->caseCheck->setChecked(flags & control::kFlagCover);
    if (flags & control::kFlagKeyWaiting) link_->RequestKey();
    const std::uint8_t mask = link_->OutputMask();
    // While a command waits, the device's bits may be older than the user's.
    if (link_->PendingCount() == 0) {
        const auto buttons = outputButtons();
        for (std::size_t bit = 0; bit < buttons.size(); ++bit) buttons[bit]->setChecked(mask & (1u << bit));
    }
    ui->simNumEdit->setText(QString::number((mask >> control::kSimBit) + 1));
}

void TForm4::RefreshLoops() {
    for (std::size_t k = 0; k < loopReadings.size(); ++k) {
        const std::uint16_t ohms = loopReadings[k];
        const QString reading = ohms >= 60000 ? QStringLiteral(">60 КОм") : QString::number(ohms) + QStringLiteral(" Ом");
        ui->cordsGrid->item(static_cast<int>(k), 0)
            ->setText(QStringLiteral("Шлейф %1: ").arg(k + 1) + reading);
    }
}

void TForm4::TakeKey(const control::CtrlCommand& key) {
    blinkCount = 0;
    if (!keyTMTimer->isActive()) keyTMTimer->start();
    ui->keyTMEdit->setText(link::HexDump(key.payload, control::kKeyPayload));
}

void TForm4::keyTMTimerTimer() {
    ++blinkCount;
    if (blinkCount >= 6) {
        keyTMTimer->stop();
        PaintKeyField(false);
        return;
    }
    PaintKeyField(blinkCount % 2 == 1);
}

void TForm4::PaintKeyField(bool lit) {
    QPalette label = ui->keyTMLabel->palette();
    label.setColor(QPalette::WindowText, lit ? Qt::red : Qt::black);
    ui->keyTMLabel->setPalette(label);
    QPalette edit = ui->keyTMEdit->palette();
    edit.setColor(QPalette::Base, lit ? Qt::yellow : Qt::white);
    ui->keyTMEdit->setPalette(edit);
}

} // namespace k8w
