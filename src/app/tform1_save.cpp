// Checks run before a card is saved, and the save itself.
#include "app/tform1.h"
#include "app/window_card_base.h"
#include "cards/card_parts.h"
#include "common/message_box.h"
#include "editor/card_validation.h"
#include "editor/editor_rules.h"
#include "ui_tform1.h"

namespace k8w {
namespace {

// The control's own enabled state, whatever its parents' state.
bool itselfEnabled(const QWidget* w) { return !w->testAttribute(Qt::WA_ForceDisabled); }

} // namespace

CardEditorValues TForm1::editorValues() const {
    CardEditorValues v;
    v.cardNumber = ui->NCardEdit->text();
    v.codeUoo = ui->CodeUoo->text();
    // The controls of the "Основные" tab in the order they were created.
    for (QObject* child : ui->MainGSM_Sheet->children()) {
        const auto* w = qobject_cast<const QWidget*>(child);
        if (!w) continue;
        MainTabField field;
        field.name = w->objectName();
        field.hint = w->toolTip();
        field.enabled = itselfEnabled(w);
        if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
            field.text = edit->text();
            field.plainEdit = true;
        } else {
            field.plainEdit = false;
        }
        v.mainTabFields.push_back(field);
    }
    for (std::size_t i = 0; i < kEditorLoops; ++i) {
        v.cordType[i] = loopTypes_[i]->currentIndex();
        v.cordPart[i] = loopParts_[i]->currentIndex();
    }
    v.balEnable = ui->balEnable->isChecked();
    v.balCritical = ui->balCritical->text();
    v.balPhoneSim1 = ui->balPhoneSim1->text();
    v.balPhoneSim2 = ui->balPhoneSim2->text();
    v.sendSms1 = ui->sendSMS1Check->isChecked();
    v.sendSms2 = ui->sendSMS2Check->isChecked();
    v.smsNumber1 = ui->smsNumber1Edit->text();
    v.smsNumber2 = ui->smsNumber2Edit->text();
    v.timePassEnabled = itselfEnabled(ui->timePassEdit);
    v.timePass = ui->timePassEdit->text();
    v.allowUpdate = ui->allowUpdateCheck->isChecked();
    v.ipUpdate = ui->ipUpdateEdit->text();
    v.portUpdate = ui->portUpdateEdit->text();
    v.portParams = ui->portParamsEdit->text();
    v.resPcn = ui->resPcnCheck->isChecked();
    v.ip1Res = ui->Ip1ResEdit->text();
    v.ip2Res = ui->Ip2ResEdit->text();
    v.port1Res = ui->Port1ResEdit->text();
    v.port2Res = ui->Port2ResEdit->text();
    return v;
}

void TForm1::BitBtn2Click() { ValidateAndSave(); }

void TForm1::ValidateAndSave() {
    if (!editMode || currentCard < 0) return;
    if (const std::optional<QString> warning = ValidateCardEditor(editorValues(), *table_, currentCard)) {
        showMessage(kValidationTitle, *warning, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    const int slot = currentCard;
    Card& inTable = table_->cards[static_cast<std::size_t>(slot)];
    const Card shown = inTable;
    const Card shownTemplate = table_->cardTemplate;
    TakeCard(slot);
    const Card edited = inTable;
    const Card newTemplate = table_->cardTemplate;
    const auto saved = cardBase_->change(
        slot, [&](CardRevision seen) { return cardBase_->store().saveCard(slot, edited, seen, &newTemplate); },
        [&](const Card& newer) { return !SameOwnFields(shown, newer); });
    if (saved != WindowCardBase::Outcome::Stored) {
        // Nothing written: the template stays, and the card is as the base has it.
        table_->cardTemplate = shownTemplate;
        if (saved == WindowCardBase::Outcome::Failed) {
            // Editing goes on with everything typed; the row shows the card as it was.
            inTable = shown;
            ShowCardSummary();
            return;
        }
        ShowCard(slot);  // the other user's version
        leaveEditing();
        return;
    }
    // The card as stored: a shared base keeps the newest programming result and keys.
    ShowCardSummary();
    leaveEditing();
    saveOnClose = true;
}

} // namespace k8w
