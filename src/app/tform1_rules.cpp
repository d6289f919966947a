// Rules that keep the editor controls consistent while a card is edited.
#include "app/tform1.h"
#include "editor/editor_rules.h"
#include "ui_tform1.h"

namespace k8w {
namespace {


void enableAll(std::initializer_list<QWidget*> widgets, bool on) {
    for (QWidget* w : widgets) w->setEnabled(on);
}

} // namespace

void TForm1::Cord1Change() {
    LoopSettings loops;
    for (std::size_t i = 0; i < kEditorLoops; ++i) {
        loops.type[i] = loopTypes_[i]->currentIndex();
        loops.part[i] = loopParts_[i]->currentIndex();
    }
    ui->timePassEdit->setEnabled(ApplyLoopTypeRules(loops));
    // Setting an index here does not run the change handlers again: they run
    // only on a user's choice.
    for (std::size_t i = 0; i < kEditorLoops; ++i) {
        if (loopTypes_[i]->currentIndex() != loops.type[i]) loopTypes_[i]->setCurrentIndex(loops.type[i]);
        if (loopParts_[i]->currentIndex() != loops.part[i]) loopParts_[i]->setCurrentIndex(loops.part[i]);
    }
}

void TForm1::Cord1PartChange() {
    if (ui->Cord1->currentIndex() == kLoopEntry) ui->Cord1Part->setCurrentIndex(0);
}

void TForm1::Cord2PartChange(QComboBox* sender) {
    for (std::size_t i = 1; i < kEditorLoops; ++i) {
        if (loopParts_[i] != sender) continue;
        if (sender->currentIndex() != 0 && loopTypes_[i]->currentIndex() == kLoopPassThrough)
            sender->setCurrentIndex(0);
    }
}

void TForm1::partSupportCheckClick() {
    const bool on = ui->partSupportCheck->isChecked();
    for (QComboBox* part : loopParts_) {
        part->setEnabled(on);
        if (!on) part->setCurrentIndex(0);
    }
    ui->Label63->setEnabled(on);
}

void TForm1::RelayComboBox1Change(QComboBox* sender) {
    ui->Label40->setText(ProfileDescription(sender == ui->RelayComboBox3, sender->currentIndex()));
}

void TForm1::PageControl2Change() {
    const int page = ui->PageControl2->currentIndex();
    if (page < 0) return;
    const QString name = QStringLiteral("RelayComboBox") + QString::number(page + 1);
    for (QComboBox* combo : ui->PageControl2->widget(page)->findChildren<QComboBox*>()) {
        if (combo->objectName().compare(name, Qt::CaseInsensitive) == 0) {
            RelayComboBox1Change(combo);
            return;
        }
    }
}

void TForm1::VersionComboChange() {}

void TForm1::UseSim1Click() {
    enableAll({ui->Pin1Edit, ui->Ip1GsmEdit, ui->Port1GsmEdit, ui->APN1Edit, ui->LoginGsm1Edit,
               ui->PassGsm1Edit},
              ui->UseSim1->isChecked());
}

void TForm1::UseSim2Click() {
    enableAll({ui->Pin2Edit, ui->Ip2GsmEdit, ui->Port2GsmEdit, ui->APN2Edit, ui->LoginGsm2Edit,
               ui->PassGsm2Edit, ui->UseSim2},
              ui->UseSim2->isChecked());
}

void TForm1::balEnableClick() {
    const bool on = ui->balEnable->isChecked();
    enableAll({ui->balCritical, ui->balCodeSim1, ui->balCodeSim2, ui->balPhoneSim1, ui->balPhoneSim2,
               ui->balSendPcnCheck},
              on);
    if (!on) {
        ui->balPhoneSim1->clear();
        ui->balPhoneSim2->clear();
    }
}

void TForm1::sendSMS1CheckClick() {
    const bool one = ui->sendSMS1Check->isChecked();
    const bool two = ui->sendSMS2Check->isChecked();
    ui->smsNumber1Edit->setEnabled(one);
    ui->smsNumber2Edit->setEnabled(two);
    enableAll({ui->smsGuardModeCheck, ui->smsAlarmCheck, ui->smsFireCheck, ui->smsKtcCheck},
              one || two);
}

void TForm1::allowUpdateCheckClick() {
    const bool on = ui->allowUpdateCheck->isChecked();
    ui->ipUpdateEdit->setEnabled(on);
    ui->portUpdateEdit->setEnabled(on);
}

void TForm1::defaultUpdSettingsClick() {
    ui->ipUpdateEdit->setText(kDefaultUpdateHost);
    ui->portUpdateEdit->setText(kDefaultUpdatePort);
    ui->portParamsEdit->setText(kDefaultParamsPort);
}

} // namespace k8w
