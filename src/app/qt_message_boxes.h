#pragma once
#include "common/message_box.h"

class QWidget;

namespace k8w {

// Real message boxes of the program: QMessageBox with an OK button or the
// buttons Yes and No; the system-modal ones stay on top of every window.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    MsgAnswer show(const MessageRequest& request) override;

private:
    QWidget* parent_;
};

} // namespace k8w
