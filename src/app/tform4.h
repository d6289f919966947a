#pragma once
#include "common/clock.h"
#include "control/ftdi_vexlar_ctrl.h"
#include "link/ftdi_driver.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QTimer;

namespace Ui {
class TForm4;
}

namespace k8w {

// "Контроль": the test bench for a live device on the programming cable.
// Shows the device's loops, power, case cover, active SIM and reported key,
// switches its outputs and SIM, and logs the exchange. It owns the control
// link for its whole life; the link holds the cable only while the window is
// shown. Made once at start-up and shown modally.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(link::FtdiDriver& cables, Clock& clock, QWidget* parent = nullptr);
    ~TForm4() override;

    control::FTDI_VexlarCtrl& ctrlLink() { return *link_; }
    const std::array<std::uint16_t, control::kLoopCount>& loops() const { return loopReadings; }
    int blinkCounter() const { return blinkCount; }

    void FormShow();
    void FormClose();
    void Button1Click();
    void Timer1Timer();
    void Timer2Timer();
    void keyTMTimerTimer();
    void relay1BtnClick();
    void relay2BtnClick();
    void zoomerBtnClick();
    void guardLedBtnClick();
    void ktcLedBtnClick();
    void redLedbtnClick();
    void greenLedBtnClick();
    void sim1BtnClick();
    void sim2BtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;  // every way of closing the window

private:
    void connectHandlers();
    void TakeStatus(const control::CtrlCommand& status);
    void TakeKey(const control::CtrlCommand& key);
    void RefreshLoops();
    void PaintKeyField(bool lit);
    void Log(const QString& text);
    void OutputClick(QAbstractButton* button, int bit);
    void SimClick(int sim);
    // The output buttons by their bit in the output mask.
    std::array<QAbstractButton*, 7> outputButtons() const;

    std::unique_ptr<Ui::TForm4> ui;
    std::unique_ptr<control::FTDI_VexlarCtrl> link_;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* keyTMTimer = nullptr;
    std::array<std::uint16_t, control::kLoopCount> loopReadings{};
    int blinkCount = 0;
};

} // namespace k8w
