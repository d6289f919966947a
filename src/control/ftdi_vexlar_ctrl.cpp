// The link thread: opening, greeting, sending, receiving, waiting.
#include "control/ftdi_vexlar_ctrl.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace k8w::control {

namespace {

constexpr std::uint32_t kOpenRetryMs = 3000;
constexpr std::uint32_t kGreetingWaitMs = 200;
constexpr std::size_t kGreetingCapacity = 100;
constexpr char kGreeting[] = "PROG_K8W_CTRL";

} // namespace

FTDI_VexlarCtrl::FTDI_VexlarCtrl(link::FtdiDriver& driver, Clock& clock, Pacing pacing)
    : driver_(driver), clock_(clock), pacing_(pacing) {
    setObjectName(QStringLiteral("FTDI_VexlarCtrl"));
    start();
}

FTDI_VexlarCtrl::~FTDI_VexlarCtrl() {
    running_.store(false);
    quit_.store(true);
    Wake();
    wait();
    // The thread's last step was under this lock: whatever it wrote is ours now.
    std::lock_guard lock(signalMutex_);
}

void FTDI_VexlarCtrl::run() {
    Execute();
    std::lock_guard lock(signalMutex_);
    finished_ = true;
}

void FTDI_VexlarCtrl::Execute() {
    while (!quit_.load()) {
        if (Active()) LinkPass();
        CloseCable();
        std::unique_lock lock(signalMutex_);
        clock_.waitFor(signal_, lock, Clock::kForever, [this] { return running_.load() || quit_.load(); });
    }
}

void FTDI_VexlarCtrl::CloseCable() {
    const link::FtHandle handle = handle_.exchange(0);
    if (handle != 0) driver_.close(handle);
}

bool FTDI_VexlarCtrl::Pause(std::uint32_t ms) {
    std::unique_lock lock(signalMutex_);
    clock_.waitFor(signal_, lock, ms, [this] { return !Active(); });
    return Active();
}

void FTDI_VexlarCtrl::LinkPass() {
    while (Active()) {
        link::FtHandle handle = 0;
        const int opened = link::OpenCable(driver_, {}, link::CableTiming::Timeouts, deviceList_, handle);
        if (opened == link::kOpenOk) {
            handle_.store(handle);
            break;
        }
        linkError_.store(opened);
        Pause(kOpenRetryMs);
    }
    if (Active()) Exchange();
}

void FTDI_VexlarCtrl::Exchange() {
    while (Active()) {
        if (pacing_ == Pacing::YieldOnly) QThread::yieldCurrentThread();
        if (linkError_.load() != 0) {
            // Paused until the window has fetched the failure.
            std::unique_lock lock(signalMutex_);
            clock_.waitFor(signal_, lock, Clock::kForever, [this] { return linkError_.load() == 0 || !Active(); });
            continue;
        }
        // The greeting waits for an awaited reply: it would swallow it.
        const bool greet = !handshakeDone_.load();
        if (greet && lastSendTick_.load() == 0) {
            Handshake();
            continue;
        }
        if (!SendStep(!greet)) continue;
        if (!ReceiveStep()) AwaitEvent();
    }
}

void FTDI_VexlarCtrl::Handshake() {
    const link::FtHandle handle = handle_.load();
    while (Active()) {
        std::uint32_t written = 0;
        const link::FtStatus sent = driver_.write(handle, kGreeting, sizeof kGreeting - 1, &written);
        if (sent != link::kFtOk) {
            linkError_.store(static_cast<int>(sent));
            return;
        }
        if (!Pause(kGreetingWaitMs)) return;
        std::size_t count = 0;
        const link::FtStatus read = ReadPacket(packet_.data(), kGreetingCapacity, count);
        if (read != link::kFtOk) {
            linkError_.store(static_cast<int>(read));
            return;
        }
        const char* text = reinterpret_cast<const char*>(packet_.data());
        if (std::strcmp(text, "ERROR") == 0) return;  // the next iteration greets again
        if (std::strcmp(text, "READY") == 0) {
            handshakeDone_.store(true);
            return;
        }
    }
}

bool FTDI_VexlarCtrl::SendStep(bool mayTakeCommand) {
    const std::uint32_t now = clock_.tickMs();
    std::unique_lock lock(queueLock_);
    const std::uint32_t last = lastSendTick_.load();
    if (last != 0 && now - last <= static_cast<std::uint32_t>(current_.timeout)) return true;
    if (last != 0) {
        if (current_.retries == 0) {
            lastSendTick_.store(0);
            timedOutCode_ = current_.code;
            linkError_.store(kLinkErrorTimeout);
            return false;
        }
        commandQueue_.push_front(current_);
        lastSendTick_.store(0);
    }
    if (!mayTakeCommand || commandQueue_.empty()) return true;
    current_ = commandQueue_.front();
    commandQueue_.pop_front();
    if (current_.retries > 0) --current_.retries;
    sending_ = true;
    const std::uint64_t resets = resets_;
    const std::vector<std::uint8_t> packet = CommandPacket(current_);
    lock.unlock();

    std::uint32_t written = 0;
    const link::FtStatus status =
        driver_.write(handle_.load(), packet.data(), static_cast<std::uint32_t>(packet.size()), &written);
    const std::uint32_t sentAt = clock_.tickMs();
    lock.lock();
    sending_ = false;
    if (status != link::kFtOk) {
        // A resend that failed still awaits the reply of the one before.
        if (last != 0 && resets == resets_) lastSendTick_.store(last);
        linkError_.store(static_cast<int>(status));
        return false;
    }
    // 0 means "nothing awaited": a send at tick 0 counts as tick 1.
    if (resets == resets_) lastSendTick_.store(sentAt == 0 ? 1 : sentAt);
    return true;
}

bool FTDI_VexlarCtrl::ReceiveStep() {
    std::size_t count = 0;
    const link::FtStatus status = ReadPacket(packet_.data(), packet_.size(), count);
    if (status != link::kFtOk) {
        linkError_.store(static_cast<int>(status));
        return true;
    }
    if (count == 0) return false;
    // A packet that filled the whole buffer was not copied into it.
    CtrlCommand reply;
    if (count >= packet_.size() || !ParseReply(packet_.data(), count, reply)) return true;
    if (reply.code == kCmdStatus) outputMask_.store(reply.payload[0]);
    std::lock_guard lock(queueLock_);
    replyQueue_.push_back(reply);
    if (reply.code == current_.code || reply.code == kReplyDeviceError) lastSendTick_.store(0);
    return true;
}

link::FtStatus FTDI_VexlarCtrl::ReadPacket(std::uint8_t* buffer, std::size_t capacity, std::size_t& count) {
    std::fill_n(buffer, capacity, std::uint8_t{0});
    count = 0;
    const link::FtHandle handle = handle_.load();
    std::uint32_t waiting = 0, txQueue = 0, events = 0;
    link::FtStatus status = driver_.getStatus(handle, &waiting, &txQueue, &events);
    if (status != link::kFtOk || waiting == 0) return status;

    // One byte at a time, each read waiting at most the read timeout, until a
    // read brings nothing, the packet is whole, or the buffer is full.
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < capacity) {
        std::uint8_t byte = 0;
        std::uint32_t got = 0;
        status = driver_.read(handle, &byte, 1, &got);
        if (status != link::kFtOk || got == 0) break;
        bytes.push_back(byte);
        if (!Active() || PacketComplete(bytes.data(), bytes.size(), handshakeDone_.load())) break;
    }
    count = bytes.size();
    if (count != 0 && count < capacity) std::copy(bytes.begin(), bytes.end(), buffer);
    return status;
}

void FTDI_VexlarCtrl::AwaitEvent() {
    if (pacing_ == Pacing::YieldOnly || !Active()) return;
    std::uint32_t timeoutMs = link::kFtWaitForever;
    {
        std::lock_guard lock(queueLock_);
        const std::uint32_t last = lastSendTick_.load();
        if (last != 0) {
            // The send step acts once the tick is past last + timeout.
            const std::uint32_t elapsed = clock_.tickMs() - last;
            const auto timeout = static_cast<std::uint32_t>(current_.timeout);
            timeoutMs = elapsed > timeout ? 0 : timeout - elapsed + 1;
        } else if (!handshakeDone_.load() || !commandQueue_.empty()) {
            timeoutMs = 0;  // greeting or sending comes next
        }
    }
    if (timeoutMs == 0) return;
    std::uint32_t waiting = 0;
    const link::FtStatus status = driver_.waitForBytes(handle_.load(), timeoutMs, &waiting);
    if (status != link::kFtOk) linkError_.store(static_cast<int>(status));
}

} // namespace k8w::control
