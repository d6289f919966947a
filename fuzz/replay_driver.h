#pragma once
// A cable whose device replays the fuzz input: one plugged cable, a device
// that answers each write with the next reply of its script, bytes that
// arrive late (at the next look at the line), and driver calls that fail.
// When the script runs out the cable is pulled: writes fail from then on, so
// every exchange comes to an end.
#include "fuzz_support.h"

#include "common/clock.h"
#include "link/ftdi_driver.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace k8w::fuzz {

struct ScriptItem {
    enum class Kind {
        Reply,   // delivered right after the next write
        Late,    // delivered at the next look at the line (status or wait)
        Fault,   // the next status, read or wait fails
        Action,  // something the program does at this point (the target decides what)
    };
    Kind kind = Kind::Reply;
    std::vector<std::uint8_t> bytes;  // Reply, Late
    std::uint8_t action = 0;          // Action
};

// Items from the input: a header byte whose top two bits give the kind and
// whose low six bits give the length of the bytes that follow (Reply, Late)
// or the action's number.
std::deque<ScriptItem> ReadScript(Input& input);

class ReplayDriver final : public link::FtdiDriver {
public:
    ReplayDriver(Clock& clock, std::deque<ScriptItem> script);

    // Called when an Action item comes up, with the driver's lock released.
    void setActionHandler(std::function<void(std::uint8_t action)> handler) { onAction_ = std::move(handler); }
    // Called before a wait with no time limit blocks (the caller has nothing to do).
    void setIdleHandler(std::function<void()> handler) { onIdle_ = std::move(handler); }

    bool scriptDone() const;
    // Every write made, in order.
    std::vector<std::vector<std::uint8_t>> writes() const;

    link::FtStatus createDeviceInfoList(std::uint32_t* count) override;
    link::FtStatus getDeviceInfoList(link::FtDeviceInfo* list, std::uint32_t capacity,
                                     std::uint32_t* count) override;
    link::FtStatus openEx(const char* what, std::uint32_t how, link::FtHandle* handle) override;
    link::FtStatus setBaudRate(link::FtHandle handle, std::uint32_t baud) override;
    link::FtStatus setDataCharacteristics(link::FtHandle handle, std::uint8_t wordLength,
                                          std::uint8_t stopBits, std::uint8_t parity) override;
    link::FtStatus setFlowControl(link::FtHandle handle, std::uint16_t flow, std::uint8_t xon,
                                  std::uint8_t xoff) override;
    link::FtStatus setLatencyTimer(link::FtHandle handle, std::uint8_t ms) override;
    link::FtStatus setTimeouts(link::FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    link::FtStatus getStatus(link::FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                             std::uint32_t* events) override;
    link::FtStatus read(link::FtHandle handle, void* buffer, std::uint32_t toRead,
                        std::uint32_t* got) override;
    link::FtStatus write(link::FtHandle handle, const void* bytes, std::uint32_t toWrite,
                         std::uint32_t* written) override;
    link::FtStatus close(link::FtHandle handle) override;
    link::FtStatus waitForBytes(link::FtHandle handle, std::uint32_t timeoutMs,
                                std::uint32_t* rxQueue) override;
    link::FtStatus interruptWait(link::FtHandle handle) override;

    static constexpr link::FtHandle kHandle = 0x4B38;
    static constexpr char kSerial[] = "FUZZ0001";

private:
    // Runs the Action items at the head of the script; returns with `lock` held.
    void runActions(std::unique_lock<std::mutex>& lock);
    // At a look at the line: the late bytes at the head arrive; true when a
    // fault at the head makes this call fail.
    bool lookAtLine(std::unique_lock<std::mutex>& lock);
    bool openHandle(link::FtHandle handle) const { return handle == kHandle && open_; }

    Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ScriptItem> script_;
    std::deque<std::uint8_t> line_;  // bytes waiting to be read
    std::vector<std::vector<std::uint8_t>> writes_;
    std::function<void(std::uint8_t)> onAction_;
    std::function<void()> onIdle_;
    bool open_ = false;
    bool interrupted_ = false;
};

} // namespace k8w::fuzz
