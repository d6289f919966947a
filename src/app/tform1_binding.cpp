// Two-way binding between a card slot and the editor controls.
#include "app/card_grid_model.h"
#include "app/tform1.h"
#include "cards/card_template.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "editor/editor_rules.h"
#include "ui_tform1.h"

#include <array>
#include <cstring>

namespace k8w {
namespace {

// A stored value is shown whole even when it is longer than the field's own
// limit (a damaged or foreign file): the save checks then judge it, and
// nothing is cut off without a word.
void showWhole(QLineEdit* edit, const QString& text) {
    static const char* const kDesignLimit = "designMaxLength";
    if (!edit->property(kDesignLimit).isValid()) edit->setProperty(kDesignLimit, edit->maxLength());
    edit->setMaxLength(std::max(edit->property(kDesignLimit).toInt(), static_cast<int>(text.size())));
    edit->setText(text);
}
template <std::size_t N> void showText(QLineEdit* edit, const char (&field)[N]) {
    showWhole(edit, fieldText(field));
}
template <std::size_t N> void store(char (&field)[N], const QLineEdit* edit) {
    setFieldText(field, edit->text());
}

// Selects the item of a stored byte. A byte beyond the list (a damaged or
// foreign database file) shows the first item, so that what is saved again is
// what the user saw rather than 255 from an empty selection.
void showIndex(QComboBox* list, std::uint8_t value) {
    list->setCurrentIndex(value < list->count() ? value : 0);
}

// The check boxes of the mode and SMS switches with their bits, in the order
// the card is shown; partition support is shown on its own, later.
template <class Bits> struct FlagBox {
    QCheckBox* box;
    Bits bit;
};

std::array<FlagBox<std::uint32_t>, 8> modeBoxes(const Ui::TForm1& ui) {
    return {{{ui.IndicZU, kModeIndicZU},
             {ui.powerCtrlOffCheck, kModePowerCtrlOff},
             {ui.oneColorIndicCheck, kModeOneColorIndic},
             {ui.caseCtrlOffCheck, kModeCaseCtrlOff},
             {ui.allowUpdateCheck, kModeAllowUpdate},
             {ui.allowParamsUpdate, kModeAllowParamsUpdate},
             {ui.use1961Check, kModeUse1961},
             {ui.sendNewMsgCheck, kModeSendNewMsg}}};
}

std::array<FlagBox<std::uint8_t>, 7> smsBoxes(const Ui::TForm1& ui) {
    return {{{ui.sendSMS1Check, kSmsToNumber1},
             {ui.sendSMS2Check, kSmsToNumber2},
             {ui.smsGuardModeCheck, kSmsGuardMode},
             {ui.smsFireCheck, kSmsFire},
             {ui.smsKtcCheck, kSmsKtc},
             {ui.smsAlarmCheck, kSmsAlarm},
             {ui.saveSMSCheck, kSmsSaveInPhone}}};
}

QComboBox* relayCombo(QTabWidget* pages, int page) {
    return pages->widget(page)->findChild<QComboBox*>(QStringLiteral("RelayComboBox") +
                                                     QString::number(page + 1));
}

} // namespace

// The SIM cards' and the update server's fields of a card.
void TForm1::ShowCardLinks(const Card& c) {
    showText(ui->Ip1GsmEdit, c.ip1Gsm);
    showText(ui->Ip2GsmEdit, c.ip2Gsm);
    showText(ui->Port1GsmEdit, c.port1Gsm);
    showText(ui->Port2GsmEdit, c.port2Gsm);
    showText(ui->APN1Edit, c.apn1);
    showText(ui->APN2Edit, c.apn2);
    showText(ui->LoginGsm1Edit, c.loginGsm1);
    showText(ui->LoginGsm2Edit, c.loginGsm2);
    showText(ui->PassGsm1Edit, c.passGsm1);
    showText(ui->PassGsm2Edit, c.passGsm2);
    showText(ui->PUK1_Edit, c.puk1);
    showText(ui->PUK2_Edit, c.puk2);
    showText(ui->SIM_ID1_Edit, c.simId1);
    showText(ui->SIM_ID2_Edit, c.simId2);
    showText(ui->Number1_Edit, c.number1);
    showText(ui->Number2_Edit, c.number2);

    showText(ui->ipUpdateEdit, c.ipUpdate);
    showText(ui->portUpdateEdit, c.portUpdate);
    showText(ui->portParamsEdit, c.portParams);
    if (ui->ipUpdateEdit->text().isEmpty() || ui->portUpdateEdit->text().isEmpty() ||
        ui->portParamsEdit->text().isEmpty())
        defaultUpdSettingsClick();

    ui->UseSim1->setChecked(true);
    ui->UseSim2->setChecked(true);
    UseSim1Click();
    UseSim2Click();
}

void TForm1::ShowCard(int slot) {
    if (slot < 0 || slot >= kCardCapacity) return;
    Card working = table_->cardTemplate;
    working.version = 0;
    working.modeFlags = 0;
    const Card& stored = table_->cards[static_cast<std::size_t>(slot)];
    const Card& c = isCardInUse(stored) ? stored : working;
    const bool inUse = c.changeDate >= 0.001;

    showText(ui->Edit1, c.objectName);
    showText(ui->NCardEdit, c.cardNumber);
    showText(ui->FIOEdit, c.address);
    showText(ui->RemarkEdit, c.remark);
    showWhole(ui->CodeUoo, inUse ? QString::number(c.codeUoo) : QString());

    for (const auto& [box, bit] : modeBoxes(*ui)) box->setChecked((c.modeFlags & bit) != 0);

    for (std::size_t i = 0; i < kEditorLoops; ++i) {
        showIndex(loopTypes_[i], c.cordType[i]);
        showIndex(loopParts_[i], c.cordPart[i]);
    }

    const QString codeText = ui->CodeUoo->text();
    ui->Label17->setText(codeText.isEmpty()
                             ? QString()
                             : QStringLiteral("( 0x") +
                                   QStringLiteral("%1")
                                       .arg(static_cast<std::uint32_t>(TextToIntDef(codeText, 1)), 8,
                                            16, QLatin1Char('0'))
                                       .toUpper() +
                                   QStringLiteral(" )"));

    showText(ui->Pin1Edit, c.pin1);
    showText(ui->Pin2Edit, c.pin2);
    if (!inUse) {
        ui->Pin1Edit->clear();
        ui->Pin2Edit->clear();
    }

    ShowCardLinks(c);

    showWhole(ui->balCritical, QString::number(c.balCriticalLevel == 0 ? 10 : c.balCriticalLevel));
    showText(ui->balCodeSim1, c.balCode[0]);
    showText(ui->balCodeSim2, c.balCode[1]);
    ui->balEnable->setChecked((c.balFlags & kBalEnable) != 0);
    ui->balSendPcnCheck->setChecked((c.balFlags & kBalNoCriticalNotice) == 0);
    balEnableClick();

    QTabWidget* outputs = ui->PageControl2;
    for (int i = 0; i < outputs->count() && i < 3; ++i)
        if (QComboBox* relay = relayCombo(outputs, i)) showIndex(relay, c.relayProfile[i]);
    if (!outputs->isHidden()) {
        const int page = outputs->currentIndex();
        if (page >= 0 && page < 3)
            if (QComboBox* relay = relayCombo(outputs, page)) RelayComboBox1Change(relay);
    }

    showWhole(ui->timePassEdit, QString::number(c.timePass));
    Cord1Change();

    for (const auto& [box, bit] : smsBoxes(*ui)) box->setChecked((c.smsFlags & bit) != 0);
    showText(ui->smsObjNameEdit, c.smsObjName);
    showText(ui->smsNumber1Edit, c.smsNumber1);
    showText(ui->smsNumber2Edit, c.smsNumber2);
    sendSMS1CheckClick();
    allowUpdateCheckClick();

    ui->partSupportCheck->setChecked((c.modeFlags & kModePartSupport) != 0);
    partSupportCheckClick();

    if (c.version == 0) ui->VersionCombo->setCurrentIndex(0);
    VersionComboChange();

    ShowCardSummary();
}

void TForm1::TakeCard(int slot) {
    if (slot < 0 || slot >= kCardCapacity) return;
    Card& c = table_->cards[static_cast<std::size_t>(slot)];
    const double progDate = c.progDate;
    const std::uint16_t progId = c.progId;
    const std::uint16_t prevProgId = c.prevProgId;
    KeyEntry keys[kKeyGroups][kKeysPerGroup];
    std::memcpy(keys, c.keys, sizeof keys);

    std::memset(&c, 0, sizeof c);
    c.progDate = progDate;
    c.progId = progId;
    c.prevProgId = prevProgId;
    std::memcpy(c.keys, keys, sizeof keys);

    store(c.cardNumber, ui->NCardEdit);
    store(c.objectName, ui->Edit1);
    store(c.address, ui->FIOEdit);
    store(c.remark, ui->RemarkEdit);
    c.codeUoo = static_cast<std::uint32_t>(TextToIntDef(ui->CodeUoo->text(), 1));

    for (std::size_t i = 0; i < kEditorLoops; ++i) {
        c.cordType[i] = static_cast<std::uint8_t>(loopTypes_[i]->currentIndex());
        c.cordPart[i] = static_cast<std::uint8_t>(loopParts_[i]->currentIndex());
    }

    for (const auto& [box, bit] : modeBoxes(*ui))
        if (box->isChecked()) c.modeFlags |= bit;
    if (ui->partSupportCheck->isChecked()) c.modeFlags |= kModePartSupport;

    store(c.pin1, ui->Pin1Edit);
    store(c.pin2, ui->Pin2Edit);
    store(c.ip1Gsm, ui->Ip1GsmEdit);
    store(c.ip2Gsm, ui->Ip2GsmEdit);
    store(c.port1Gsm, ui->Port1GsmEdit);
    store(c.port2Gsm, ui->Port2GsmEdit);
    store(c.apn1, ui->APN1Edit);
    store(c.apn2, ui->APN2Edit);
    store(c.loginGsm1, ui->LoginGsm1Edit);
    store(c.loginGsm2, ui->LoginGsm2Edit);
    store(c.passGsm1, ui->PassGsm1Edit);
    store(c.passGsm2, ui->PassGsm2Edit);
    store(c.puk1, ui->PUK1_Edit);
    store(c.puk2, ui->PUK2_Edit);
    store(c.simId1, ui->SIM_ID1_Edit);
    store(c.simId2, ui->SIM_ID2_Edit);
    store(c.number1, ui->Number1_Edit);
    store(c.number2, ui->Number2_Edit);
    store(c.ipUpdate, ui->ipUpdateEdit);
    store(c.portUpdate, ui->portUpdateEdit);
    store(c.portParams, ui->portParamsEdit);

    c.balCriticalLevel = static_cast<std::uint16_t>(TextToIntDef(ui->balCritical->text(), 10));
    store(c.balCode[0], ui->balCodeSim1);
    store(c.balCode[1], ui->balCodeSim2);
    if (ui->balEnable->isChecked()) c.balFlags |= kBalEnable;
    if (!ui->balSendPcnCheck->isChecked()) c.balFlags |= kBalNoCriticalNotice;

    bool hexOk = false;
    const uint id = ui->ProgID1->text().toUInt(&hexOk, 16);
    c.progId = hexOk ? static_cast<std::uint16_t>(id) : 0;

    for (int i = 0; i < ui->PageControl2->count() && i < 3; ++i)
        if (const QComboBox* relay = relayCombo(ui->PageControl2, i))
            c.relayProfile[i] = static_cast<std::uint8_t>(relay->currentIndex());

    c.timePass = static_cast<std::uint8_t>(TextToIntDef(ui->timePassEdit->text(), 60));

    for (const auto& [box, bit] : smsBoxes(*ui))
        if (box->isChecked()) c.smsFlags |= bit;
    store(c.smsObjName, ui->smsObjNameEdit);
    store(c.smsNumber1, ui->smsNumber1Edit);
    store(c.smsNumber2, ui->smsNumber2Edit);

    c.version = 0;
    table_->cardTemplate = MakeCardTemplate(c);
    c.changeDate = dayDateNow();
    ShowCardSummary();
}

void TForm1::ShowCardSummary() {
    if (currentCard < 0 || currentCard >= kCardCapacity) return;
    const Card& c = table_->cards[static_cast<std::size_t>(currentCard)];
    const int row = currentCard + 1;
    ui->ProgID1->setText(ChecksumText(c.progId));
    ui->ProgID2->setText(ChecksumText(c.prevProgId));
    if (isCardInUse(c))
        gridModel_->setRow(row, CardRowTexts(c));
    else
        gridModel_->clearRow(row);
    ui->keysWinBtn->setEnabled(isCardInUse(c) && (c.modeFlags & kModePartSupport) != 0);
    showLastChange();
    applyBaseRights();
}

} // namespace k8w
