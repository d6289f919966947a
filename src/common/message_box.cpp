#include "common/message_box.h"

#include <atomic>
#include <cstdio>

namespace k8w {
namespace {

class StderrMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest& request) override {
        std::fprintf(stderr, "%s: %s\n", request.title.toUtf8().constData(),
                     request.text.toUtf8().constData());
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
};

StderrMessageBoxes defaultBoxes;
std::atomic<MessageBoxes*> installed{nullptr};

} // namespace

void setMessageBoxes(MessageBoxes* boxes) { installed.store(boxes); }

MessageBoxes& messageBoxes() {
    MessageBoxes* boxes = installed.load();
    return boxes ? *boxes : defaultBoxes;
}

MsgAnswer showMessage(const QString& title, const QString& text, MsgButtons buttons,
                      MsgIcon icon, bool systemModal) {
    return messageBoxes().show({title, text, buttons, icon, systemModal});
}

bool askYesNo(const QString& title, const QString& text) {
    return showMessage(title, text, MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes;
}

} // namespace k8w
