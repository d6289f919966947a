// The control window's switches: the output toggles and the SIM buttons.
#include "app/tform4.h"

#include "ui_tform4.h"

namespace k8w {

std::array<QAbstractButton*, 7> TForm4::outputButtons() const {
    return {ui->relay1Btn, ui->relay2Btn, ui->zoomerBtn, ui->guardLedBtn,
            ui->ktcLedBtn, ui->redLedbtn, ui->greenLedBtn};
}

void TForm4::OutputClick(QAbstractButton* button, int bit) { link_->SetOutput(bit, button->isChecked()); }

void TForm4::relay1BtnClick() { OutputClick(ui->relay1Btn, control::kRelay1); }
void TForm4::relay2BtnClick() { OutputClick(ui->relay2Btn, control::kRelay2); }
void TForm4::zoomerBtnClick() { OutputClick(ui->zoomerBtn, control::kBuzzer); }
void TForm4::guardLedBtnClick() { OutputClick(ui->guardLedBtn, control::kGuardLed); }
void TForm4::ktcLedBtnClick() { OutputClick(ui->ktcLedBtn, control::kKtcLed); }
void TForm4::redLedbtnClick() { OutputClick(ui->redLedbtn, control::kRedLed); }
void TForm4::greenLedBtnClick() { OutputClick(ui->greenLedBtn, control::kGreenLed); }

void TForm4::SimClick(int sim) {
    link_->SelectSim(sim);
    link_->PollStatus();
    link_->RequestHandshake();
}

void TForm4::sim1BtnClick() { SimClick(0); }
void TForm4::sim2BtnClick() { SimClick(1); }

} // namespace k8w
