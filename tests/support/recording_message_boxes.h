#pragma once
#include "common/message_box.h"

#include <QList>

#include <deque>
#include <functional>

namespace k8w::test {

// Records every box shown and answers questions from a queue (No when the
// queue is empty). Installs itself for its lifetime.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    RecordingMessageBoxes() { setMessageBoxes(this); }
    ~RecordingMessageBoxes() override { setMessageBoxes(nullptr); }

    MsgAnswer show(const MessageRequest& request) override;
    void answer(MsgAnswer next) { answers_.push_back(next); }
    // Runs during show(), before the answer is taken (for example to check
    // the window state while a box is open).
    std::function<void(const MessageRequest&)> onShow;

    const QList<MessageRequest>& shown() const { return shown_; }
    const MessageRequest& last() const { return shown_.back(); }
    void clear() { shown_.clear(); }

private:
    QList<MessageRequest> shown_;
    std::deque<MsgAnswer> answers_;
};

} // namespace k8w::test
