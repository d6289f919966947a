#include "support/recording_message_boxes.h"

namespace k8w::test {

MsgAnswer RecordingMessageBoxes::show(const MessageRequest& request) {
    shown_.push_back(request);
    if (onShow) onShow(request);
    if (request.buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (answers_.empty()) return MsgAnswer::No;
    const MsgAnswer next = answers_.front();
    answers_.pop_front();
    return next;
}

} // namespace k8w::test
