// The control link's operations for the main thread: queuing, fetching,
// starting and stopping.
#include "control/ftdi_vexlar_ctrl.h"

#include "link/link_block.h"

#include <algorithm>

namespace k8w::control {

void FTDI_VexlarCtrl::Wake() {
    // Taking the lock orders the change before the waiter's next look at it.
    { std::lock_guard lock(signalMutex_); }
    signal_.notify_all();
    if (const link::FtHandle handle = handle_.load(); handle != 0) driver_.interruptWait(handle);
}

void FTDI_VexlarCtrl::Reset() {
    std::lock_guard lock(queueLock_);
    current_ = CtrlCommand{};
    lastSendTick_.store(0);
    commandQueue_.clear();
    replyQueue_.clear();
    ++resets_;
}

void FTDI_VexlarCtrl::StartLink() {
    Reset();
    running_.store(true);
    Wake();
}

void FTDI_VexlarCtrl::StopLink() {
    running_.store(false);
    Wake();
}

int FTDI_VexlarCtrl::PendingCount() const {
    std::lock_guard lock(queueLock_);
    const bool awaited = lastSendTick_.load() != 0 || sending_;
    return static_cast<int>(commandQueue_.size()) + (awaited ? 1 : 0);
}

void FTDI_VexlarCtrl::Queue(std::uint8_t code, const std::uint8_t* payload, std::int32_t length,
                            std::int32_t timeout, std::int32_t retries) {
    CtrlCommand command;
    command.code = code;
    std::copy_n(payload, length, command.payload);
    command.length = length;
    command.timeout = timeout;
    command.retries = retries;
    {
        std::lock_guard lock(queueLock_);
        commandQueue_.push_back(command);
    }
    Wake();
}

void FTDI_VexlarCtrl::PollStatus() { Queue(kCmdStatus, nullptr, 0, kReplyTimeoutMs, kQueryRetries); }

void FTDI_VexlarCtrl::RequestKey() { Queue(kCmdReadKey, nullptr, 0, kReplyTimeoutMs, kQueryRetries); }

void FTDI_VexlarCtrl::SetOutput(int bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
    const std::uint8_t outputs = on ? static_cast<std::uint8_t>(outputMask_.fetch_or(mask) | mask)
                                    : static_cast<std::uint8_t>(outputMask_.fetch_and(static_cast<std::uint8_t>(~mask)) & ~mask);
    Queue(kCmdSetOutputs, &outputs, 1, bit == kSimBit ? kSimChangeTimeoutMs : kReplyTimeoutMs, 0);
}

void FTDI_VexlarCtrl::RequestHandshake() {
    handshakeDone_.store(false);
    Wake();
}

int FTDI_VexlarCtrl::FetchReply(CtrlCommand& reply, QString& text) {
    text.clear();
    int error = 0;
    std::uint8_t timedOut = 0;
    {
        // A timeout and its command are set together under the lock and taken
        // together here: once the failure is taken the link may send the next
        // command, so `current_` may no longer be the one that timed out.
        std::lock_guard lock(queueLock_);
        error = linkError_.exchange(0);
        timedOut = timedOutCode_;
    }
    if (error != 0) {
        if (failureTaken_) failureTaken_();
        switch (error) {
        case link::kOpenFailed:
            text = kTextDriverSilent;
            break;
        case link::kOpenNoCable:
            if (PendingCount() != 0) text = kTextNoCable;
            break;
        case kLinkErrorManyCables:
            text = kTextManyCables;
            break;
        case kLinkErrorTimeout:
            text = kTextTimeout + QString::number(timedOut);
            break;
        default:
            break;
        }
        Wake();  // the link goes on
        return kFetchLinkError;
    }
    {
        std::lock_guard lock(queueLock_);
        if (replyQueue_.empty()) return kFetchNothing;
        reply = replyQueue_.front();
        replyQueue_.pop_front();
    }
    switch (reply.code) {
    case kCmdReadKey:
        text = kTextKeyReceived;
        break;
    case kCmdSetOutputs: {
        const std::uint8_t outputs = outputMask_.load();
        text = kTextOutputsSet + link::HexDump(&outputs, 1);
        break;
    }
    case kReplyDeviceError:
        Reset();
        text = kTextDeviceError + DeviceErrorText(reply.payload[0]);
        break;
    default:
        break;
    }
    return reply.code;
}

} // namespace k8w::control
