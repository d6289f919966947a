#pragma once
#include "common/clock.h"
#include "control/ctrl_protocol.h"
#include "link/cable_open.h"
#include "link/ftdi_driver.h"

#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace k8w::control {

// The control link: a thread that holds the cable while the control window
// is shown, greets the device with "PROG_K8W_CTRL", sends the window's
// commands one at a time, matches each with its reply, resends or times out,
// and hands every valid reply (and every failure, as a code) to the window
// through FetchReply. The public operations belong to the main thread.
//
// The thread never spins: between steps it waits for the next thing that can
// matter - bytes arriving on the cable, a command queued, a stop, or the
// reply timeout falling due - so a reply is taken as soon as it arrives.
class FTDI_VexlarCtrl final : public QThread {
    Q_OBJECT
public:
    // YieldOnly is the link that only yields the processor between its
    // iterations, kept to measure the waiting link against.
    enum class Pacing { WaitForEvents, YieldOnly };

    // The thread starts at once and idles until StartLink.
    explicit FTDI_VexlarCtrl(link::FtdiDriver& driver = link::systemFtdiDriver(),
                             Clock& clock = systemClock(), Pacing pacing = Pacing::WaitForEvents);
    // Stops the link and waits for the thread, which ends within one byte read.
    ~FTDI_VexlarCtrl() override;

    // Empties both queues, then lets the link open the cable and run.
    void StartLink();
    // The link closes the cable and idles.
    void StopLink();
    bool IsRunning() const { return running_.load(); }
    // Commands queued, plus one while a reply is awaited.
    int PendingCount() const;

    void PollStatus();
    void RequestKey();
    // Sets or clears one output bit and sends the whole mask.
    void SetOutput(int bit, bool on);
    // n = 0 for SIM 1, 1 for SIM 2.
    void SelectSim(int n) { SetOutput(kSimBit, n != 0); }
    // The device is greeted again before the next command.
    void RequestHandshake();
    std::uint8_t OutputMask() const { return outputMask_.load(); }

    // kFetchNothing when there is nothing; kFetchLinkError after putting the
    // failure's text (possibly none) into `text`; otherwise the code of the
    // reply copied into `reply`, with `text` set for some codes.
    int FetchReply(CtrlCommand& reply, QString& text);
    // Called by FetchReply on the calling thread once it has taken a failure
    // and before it words it: tests run the link thread on from here.
    void SetFailureTakenHook(std::function<void()> hook) { failureTaken_ = std::move(hook); }

protected:
    void run() override;

private:
    void Execute();
    void LinkPass();
    void Exchange();
    void Handshake();
    // False when the iteration ends here (a failure, or a reply overdue for good).
    bool SendStep(bool mayTakeCommand);
    // False when no bytes were waiting.
    bool ReceiveStep();
    void AwaitEvent();
    // Collects one packet byte by byte into `buffer` (cleared first).
    link::FtStatus ReadPacket(std::uint8_t* buffer, std::size_t capacity, std::size_t& count);
    // Waits up to `ms` unless the link stops first; false once it has stopped.
    bool Pause(std::uint32_t ms);
    void CloseCable();

    void Reset();
    void Queue(std::uint8_t code, const std::uint8_t* payload, std::int32_t length,
               std::int32_t timeout, std::int32_t retries);
    void Wake();
    bool Active() const { return running_.load() && !quit_.load(); }

    link::FtdiDriver& driver_;
    Clock& clock_;
    const Pacing pacing_;

    // Link thread only.
    link::DeviceList deviceList_{};
    std::array<std::uint8_t, 4096> packet_{};

    // Shared with the main thread.
    std::atomic<link::FtHandle> handle_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> quit_{false};
    std::atomic<int> linkError_{0};
    std::atomic<std::uint32_t> lastSendTick_{0};  // written under queueLock_
    std::atomic<std::uint8_t> outputMask_{0};
    std::atomic<bool> handshakeDone_{false};

    mutable std::mutex queueLock_;
    CtrlCommand current_;
    std::uint8_t timedOutCode_ = 0;  // the command of the last timeout, set with linkError_
    std::deque<CtrlCommand> commandQueue_;
    std::deque<CtrlCommand> replyQueue_;
    std::function<void()> failureTaken_;  // main thread only
    bool sending_ = false;          // current_ taken and on its way to the cable
    std::uint64_t resets_ = 0;      // a send that overlaps a reset awaits nothing

    // Wakes the thread when it waits with no cable to watch.
    std::mutex signalMutex_;
    std::condition_variable signal_;
    bool finished_ = false;
};

} // namespace k8w::control
