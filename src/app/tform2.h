#pragma once
#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

namespace Ui {
class TForm2;
}

namespace k8w {

// The read results view: a device's configuration image shown read-only in
// the groups and under the control names of the card editor. Created once
// and reused; each fill overwrites every control it maps.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // Shows a 585-byte image; a stored choice beyond a box's list leaves the
    // box empty.
    void FillFromImage(const std::uint8_t* image);
    // The device version; an empty text (no answer) shows "Н/Д".
    void SetVersionText(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm2> ui;
};

} // namespace k8w
