#pragma once
#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class TftdiDialog;
}

namespace k8w {

// "Выбор FTDI": the choice of one cable when several are plugged in. It has
// no cancel path: whatever closes it, the serial number selected is taken.
class TftdiDialog : public QDialog {
    Q_OBJECT
public:
    explicit TftdiDialog(QWidget* parent = nullptr);
    ~TftdiDialog() override;

    // Lists the serial numbers in the driver's order, the first selected.
    void setSerials(const QStringList& serials);
    QString chosenSerial() const;

protected:
    void reject() override;  // Escape and the window manager close as OK does

private:
    std::unique_ptr<Ui::TftdiDialog> ui;
};

} // namespace k8w
