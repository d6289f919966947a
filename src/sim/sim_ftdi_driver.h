#pragma once
#include "common/clock.h"
#include "link/ftdi_driver.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace k8w::sim {

class SimDevice;

// Simulated FTDI cables: plugged and unplugged at will, each wired to a
// simulated device or to nothing, and every driver call can be made to fail.
// Time on the line is the injected clock's: a device's reply can be read
// once the clock has reached its due time. A read short of bytes waits up to
// the read timeout set on the handle (none until one is set), and a wait for
// bytes lasts until the device's next reply falls due, the wait is
// interrupted, or its timeout; both wait on the clock.
class SimFtdiDriver final : public link::FtdiDriver {
public:
    enum class Op {
        CreateList, GetList, Open, SetBaudRate, SetDataCharacteristics, SetFlowControl,
        SetLatencyTimer, SetTimeouts, GetStatus, Read, Write, Close, WaitForBytes,
    };
    static constexpr int kOpCount = static_cast<int>(Op::WaitForBytes) + 1;

    explicit SimFtdiDriver(Clock& clock);
    ~SimFtdiDriver() override;

    // A cable appears at the end of the driver's list; `device` may be null.
    void plug(const std::string& serial, SimDevice* device = nullptr);
    // The cable disappears; its open handles fail from now on.
    void unplug(const std::string& serial);

    // After `afterCalls` successful calls, `op` fails `times` times (-1: for ever).
    void fail(Op op, int afterCalls = 0, int times = -1);
    // After `afterCalls` full writes, writes transfer only `bytes` bytes.
    void shortWrites(std::size_t bytes, int afterCalls = 0);
    void clearFailures();
    // Told of every driver call before it runs, with the count of its kind
    // so far, this one included (a test stops a process at a chosen step).
    // Runs under the driver's lock: it must not call the driver. Set before use.
    void setCallListener(std::function<void(Op op, int made)> listener) { callListener_ = std::move(listener); }

    int calls(Op op) const;
    int openHandles() const;
    // Every write made, in order (the bytes that left the utility).
    std::vector<std::vector<std::uint8_t>> writes() const;
    // The clock's reading at each of those writes.
    std::vector<std::uint32_t> writeTimesMs() const;
    // The last values the configuration calls got.
    struct Config {
        std::uint32_t baud = 0;
        std::uint8_t wordLength = 0, stopBits = 0xFF, parity = 0xFF;
        std::uint16_t flow = 0xFFFF;
        std::uint8_t latencyMs = 0;
        std::uint32_t readTimeoutMs = 0, writeTimeoutMs = 0;
        std::string serial;  // the serial number opened
    };
    Config lastConfig() const;

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

private:
    struct Cable {
        std::string serial;
        SimDevice* device = nullptr;
        bool plugged = true;
    };
    struct Failure {
        int afterCalls = 0;
        int times = 0;
    };

    // Counts the call; true when it is to fail.
    bool failing(Op op);
    // The cable behind an open handle, or null when the handle is unknown or
    // its cable was unplugged.
    Cable* cableOf(link::FtHandle handle);
    // Waits on the clock, with `lock` held on mutex_, until `done()` or the
    // device's next reply after `nowMs` falls due, at most `limitMs`.
    void waitOnLine(std::unique_lock<std::mutex>& lock, Cable& cable, std::uint32_t nowMs,
                    std::uint32_t limitMs, const std::function<bool()>& done);

    Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Cable*> cables_;  // the plugged cables, in list order
    std::vector<std::unique_ptr<Cable>> allCables_;
    std::map<link::FtHandle, Cable*> open_;
    link::FtHandle nextHandle_ = 0x100;
    std::vector<std::string> listed_;
    int calls_[kOpCount] = {};
    std::map<Op, Failure> failures_;
    std::function<void(Op, int)> callListener_;
    bool shortWrites_ = false;
    int shortWriteAfter_ = 0;
    std::size_t shortWriteBytes_ = 0;
    std::vector<std::vector<std::uint8_t>> writes_;
    std::vector<std::uint32_t> writeTimes_;
    Config config_;
    std::map<link::FtHandle, std::uint32_t> readTimeouts_;
    std::set<link::FtHandle> woken_;  // handles whose wait was interrupted
    std::condition_variable changed_;  // a wait interrupted, a cable pulled or closed
};

} // namespace k8w::sim
