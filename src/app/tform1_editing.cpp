// The main window's editing mode, deletion and the question on closing.
#include "app/tform1.h"

#include "app/window_card_base.h"
#include "cards/card_table.h"
#include "common/message_box.h"
#include "ui_tform1.h"

#include <chrono>

namespace k8w {
void TForm1::SetEditMode(bool on) {
    ui->GroupBox1->setEnabled(on);
    for (QWidget* sheet : {ui->MainGSM_Sheet, ui->Add_GSM_Sheet, ui->BalanceSheet, ui->Res_Pcn_Sheet,
                           ui->SMS_Sheet, ui->UpdateSheet})
        sheet->setEnabled(on);
    for (int i = 0; i < ui->PageControl2->count(); ++i) ui->PageControl2->widget(i)->setEnabled(on);
    ui->BitBtn2->setEnabled(on);
    ui->BitBtn3->setEnabled(on);
    ui->ProgBtn->setEnabled(!on);
    ui->SpeedButton1->setEnabled(!on);
    ui->SetsGrid->setEnabled(!on);
    ui->SearchEdit->setEnabled(!on);
    ui->SpeedButton3->setEnabled(!on);
    ui->ctrlWinBtn->setEnabled(!on);
    const bool partitions =
        currentCard >= 0 &&
        (table_->cards[static_cast<std::size_t>(currentCard)].modeFlags & kModePartSupport) != 0;
    ui->keysWinBtn->setEnabled(!on && partitions);
    ui->BitBtn1->setText(on ? QStringLiteral("Отменить редактирование")
                            : QStringLiteral("Включить редактирование"));
    applyBaseRights();
}

void TForm1::reseedRandom() {
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

int TForm1::randomInt(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

void TForm1::BitBtn1Click() {
    if (currentCard < 0) return;
    if (!editMode && !cardBase_->mayChange()) return;  // a read-only user views only
    editMode = !editMode;
    if (editMode) {
        cardBase_->holdSlot(currentCard);
        const Card& card = table_->cards[static_cast<std::size_t>(currentCard)];
        if (card.changeDate < 0.00001 && ui->PortLoc->text() != QStringLiteral("0")) {
            reseedRandom();
            ui->PortLoc->setText(QString::number(randomInt(6001, 63999)));
        }
        SetEditMode(true);
        return;
    }
    if (!askYesNo(kAttention, QStringLiteral("Все изменения будут утеряны. Отменить редактирование?"))) {
        editMode = true;
        return;
    }
    // Shown again as the base now has it.
    cardBase_->releaseHeld();
    ShowCard(currentCard);
    SetEditMode(false);
}

void TForm1::leaveEditing() {
    cardBase_->releaseHeld();
    editMode = false;
    SetEditMode(false);
}

void TForm1::BitBtn3Click() {
    if (currentCard < 0) return;
    if (!askYesNo(kAttention, QStringLiteral("Вы точно хотите удалить запись безвозвратно?"))) return;
    const int slot = currentCard;
    const auto deleted = cardBase_->change(
        slot, [&](CardRevision seen) { return cardBase_->store().deleteCard(slot, seen); });
    // Not deleted (no connection, no right): the edit stays as typed.
    if (deleted == WindowCardBase::Outcome::Failed) return;
    ShowCard(currentCard);
    leaveEditing();
}

void TForm1::FormCloseQuery(bool& canClose) {
    canClose = true;
    if (!editMode) return;
    canClose = askYesNo(kAttention, QStringLiteral("Включен режим редактирования. Хотите выйти из "
                                                   "программы без сохранения текущей записи?"));
}

} // namespace k8w
