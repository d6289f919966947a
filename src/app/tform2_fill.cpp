// The read results view: filling the controls from a device image.
#include "app/tform2.h"

#include "link/image_view_fields.h"
#include "ui_tform2.h"

namespace k8w {

void TForm2::FillFromImage(const std::uint8_t* image) {
    for (const link::ViewField& field : link::ViewFields()) {
        QWidget* control = findChild<QWidget*>(field.control);
        if (auto* box = qobject_cast<QComboBox*>(control)) {
            const int index = link::ViewFieldIndex(field, image);
            box->setCurrentIndex(index < box->count() ? index : -1);
        } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
            check->setChecked(link::ViewFieldTicked(field, image));
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(link::ViewFieldText(field, image));
            edit->setCursorPosition(0);  // a long text shows its beginning
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(link::ViewFieldText(field, image));
        }
    }
}

} // namespace k8w
