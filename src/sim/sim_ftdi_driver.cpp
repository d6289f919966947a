#include "sim/sim_ftdi_driver.h"

#include "sim/sim_device.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace k8w::sim {

using namespace k8w::link;

SimFtdiDriver::SimFtdiDriver(Clock& clock) : clock_(clock) {}
SimFtdiDriver::~SimFtdiDriver() = default;

void SimFtdiDriver::plug(const std::string& serial, SimDevice* device) {
    std::lock_guard lock(mutex_);
    allCables_.push_back(std::make_unique<Cable>(Cable{serial, device, true}));
    cables_.push_back(allCables_.back().get());
}

void SimFtdiDriver::unplug(const std::string& serial) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(cables_.begin(), cables_.end(),
                                 [&](const Cable* c) { return c->serial == serial; });
    if (it == cables_.end()) return;
    (*it)->plugged = false;
    cables_.erase(it);
    changed_.notify_all();
}

void SimFtdiDriver::fail(Op op, int afterCalls, int times) {
    std::lock_guard lock(mutex_);
    failures_[op] = {calls_[static_cast<int>(op)] + afterCalls, times};
}

void SimFtdiDriver::shortWrites(std::size_t bytes, int afterCalls) {
    std::lock_guard lock(mutex_);
    shortWrites_ = true;
    shortWriteBytes_ = bytes;
    shortWriteAfter_ = calls_[static_cast<int>(Op::Write)] + afterCalls;
}

void SimFtdiDriver::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
    shortWrites_ = false;
}

int SimFtdiDriver::calls(Op op) const {
    std::lock_guard lock(mutex_);
    return calls_[static_cast<int>(op)];
}

int SimFtdiDriver::openHandles() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(open_.size());
}

std::vector<std::vector<std::uint8_t>> SimFtdiDriver::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<std::uint32_t> SimFtdiDriver::writeTimesMs() const {
    std::lock_guard lock(mutex_);
    return writeTimes_;
}

SimFtdiDriver::Config SimFtdiDriver::lastConfig() const {
    std::lock_guard lock(mutex_);
    return config_;
}

bool SimFtdiDriver::failing(Op op) {
    const int made = calls_[static_cast<int>(op)]++;
    if (callListener_) callListener_(op, made + 1);
    const auto it = failures_.find(op);
    if (it == failures_.end() || made < it->second.afterCalls) return false;
    if (it->second.times == 0) return false;
    if (it->second.times > 0) --it->second.times;
    return true;
}

SimFtdiDriver::Cable* SimFtdiDriver::cableOf(FtHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end() || !it->second->plugged) return nullptr;
    return it->second;
}

FtStatus SimFtdiDriver::createDeviceInfoList(std::uint32_t* count) {
    std::lock_guard lock(mutex_);
    if (failing(Op::CreateList)) return kFtOtherError;
    if (!count) return kFtInvalidParameter;
    listed_.clear();
    for (const Cable* cable : cables_) listed_.push_back(cable->serial);
    *count = static_cast<std::uint32_t>(listed_.size());
    return kFtOk;
}

FtStatus SimFtdiDriver::getDeviceInfoList(FtDeviceInfo* list, std::uint32_t capacity,
                                          std::uint32_t* count) {
    std::lock_guard lock(mutex_);
    if (failing(Op::GetList)) return kFtOtherError;
    if (!list || !count) return kFtInvalidParameter;
    const std::uint32_t n = std::min<std::uint32_t>(capacity, static_cast<std::uint32_t>(listed_.size()));
    for (std::uint32_t i = 0; i < n; ++i) {
        FtDeviceInfo entry{};
        std::strncpy(entry.serialNumber, listed_[i].c_str(), kSerialNumberSize);
        list[i] = entry;
    }
    *count = n;
    return kFtOk;
}

FtStatus SimFtdiDriver::openEx(const char* what, std::uint32_t how, FtHandle* handle) {
    std::lock_guard lock(mutex_);
    if (failing(Op::Open)) return kFtDeviceNotOpened;
    if (!what || !handle || how != kFtOpenBySerialNumber) return kFtInvalidParameter;
    *handle = 0;
    const auto it = std::find_if(cables_.begin(), cables_.end(),
                                 [&](const Cable* c) { return c->serial == what; });
    if (it == cables_.end()) return kFtDeviceNotFound;
    const bool busy = std::any_of(open_.begin(), open_.end(),
                                  [&](const auto& entry) { return entry.second == *it; });
    if (busy) return kFtDeviceNotOpened;
    *handle = nextHandle_++;
    open_[*handle] = *it;
    config_.serial = what;
    return kFtOk;
}

FtStatus SimFtdiDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    std::lock_guard lock(mutex_);
    if (failing(Op::SetBaudRate)) return kFtIoError;
    if (!cableOf(handle)) return kFtInvalidHandle;
    config_.baud = baud;
    return kFtOk;
}

FtStatus SimFtdiDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                               std::uint8_t stopBits, std::uint8_t parity) {
    std::lock_guard lock(mutex_);
    if (failing(Op::SetDataCharacteristics)) return kFtIoError;
    if (!cableOf(handle)) return kFtInvalidHandle;
    config_.wordLength = wordLength;
    config_.stopBits = stopBits;
    config_.parity = parity;
    return kFtOk;
}

FtStatus SimFtdiDriver::setFlowControl(FtHandle handle, std::uint16_t flow, std::uint8_t, std::uint8_t) {
    std::lock_guard lock(mutex_);
    if (failing(Op::SetFlowControl)) return kFtIoError;
    if (!cableOf(handle)) return kFtInvalidHandle;
    config_.flow = flow;
    return kFtOk;
}

FtStatus SimFtdiDriver::setLatencyTimer(FtHandle handle, std::uint8_t ms) {
    std::lock_guard lock(mutex_);
    if (failing(Op::SetLatencyTimer)) return kFtIoError;
    if (!cableOf(handle)) return kFtInvalidHandle;
    config_.latencyMs = ms;
    return kFtOk;
}

FtStatus SimFtdiDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    std::lock_guard lock(mutex_);
    if (failing(Op::SetTimeouts)) return kFtIoError;
    if (!cableOf(handle)) return kFtInvalidHandle;
    config_.readTimeoutMs = readMs;
    config_.writeTimeoutMs = writeMs;
    readTimeouts_[handle] = readMs;
    return kFtOk;
}

FtStatus SimFtdiDriver::getStatus(FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                  std::uint32_t* events) {
    std::lock_guard lock(mutex_);
    if (failing(Op::GetStatus)) return kFtIoError;
    Cable* cable = cableOf(handle);
    if (!cable) return kFtIoError;
    if (!rxQueue || !txQueue || !events) return kFtInvalidParameter;
    *rxQueue = cable->device ? static_cast<std::uint32_t>(cable->device->available(clock_.tickMs())) : 0;
    *txQueue = 0;
    *events = 0;
    return kFtOk;
}

void SimFtdiDriver::waitOnLine(std::unique_lock<std::mutex>& lock, Cable& cable, std::uint32_t nowMs,
                               std::uint32_t limitMs, const std::function<bool()>& done) {
    std::uint32_t waitMs = limitMs;
    if (cable.device) {
        const std::int64_t due = cable.device->nextDueAfterMs(nowMs);
        if (due >= 0) waitMs = std::min(waitMs, static_cast<std::uint32_t>(due) - nowMs);
    }
    clock_.waitFor(changed_, lock, waitMs, done);
}

FtStatus SimFtdiDriver::read(FtHandle handle, void* buffer, std::uint32_t toRead, std::uint32_t* got) {
    std::unique_lock lock(mutex_);
    if (failing(Op::Read)) return kFtIoError;
    if (!cableOf(handle)) return kFtIoError;
    if (!buffer || !got) return kFtInvalidParameter;
    // Like the cable, a read short of bytes waits for them up to the read timeout.
    const auto timeout = readTimeouts_.find(handle);
    const std::uint32_t limitMs = timeout == readTimeouts_.end() ? 0 : timeout->second;
    const std::uint32_t start = clock_.tickMs();
    for (;;) {
        Cable* cable = cableOf(handle);
        if (!cable) return kFtIoError;
        const std::uint32_t now = clock_.tickMs();
        if (!cable->device || cable->device->available(now) >= toRead || now - start >= limitMs) break;
        waitOnLine(lock, *cable, now, limitMs - (now - start), [&] { return !cableOf(handle); });
    }
    Cable* cable = cableOf(handle);
    *got = cable->device ? static_cast<std::uint32_t>(cable->device->read(
                               static_cast<std::uint8_t*>(buffer), toRead, clock_.tickMs()))
                         : 0;
    return kFtOk;
}

FtStatus SimFtdiDriver::waitForBytes(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t* rxQueue) {
    std::unique_lock lock(mutex_);
    if (failing(Op::WaitForBytes)) return kFtIoError;
    if (!rxQueue) return kFtInvalidParameter;
    *rxQueue = 0;
    const std::uint32_t start = clock_.tickMs();
    for (;;) {
        Cable* cable = cableOf(handle);
        if (!cable) return kFtIoError;
        const std::uint32_t now = clock_.tickMs();
        *rxQueue = cable->device ? static_cast<std::uint32_t>(cable->device->available(now)) : 0;
        const bool timedOut = timeoutMs != kFtWaitForever && now - start >= timeoutMs;
        if (*rxQueue > 0 || woken_.count(handle) || timedOut) break;
        const std::uint32_t left = timeoutMs == kFtWaitForever ? Clock::kForever : timeoutMs - (now - start);
        waitOnLine(lock, *cable, now, left, [&] { return woken_.count(handle) > 0 || !cableOf(handle); });
    }
    woken_.erase(handle);  // whatever ended the wait, the caller looks at everything again
    return kFtOk;
}

FtStatus SimFtdiDriver::interruptWait(FtHandle handle) {
    std::lock_guard lock(mutex_);
    if (!open_.count(handle)) return kFtInvalidHandle;
    woken_.insert(handle);
    changed_.notify_all();
    return kFtOk;
}

FtStatus SimFtdiDriver::write(FtHandle handle, const void* bytes, std::uint32_t toWrite,
                              std::uint32_t* written) {
    std::unique_lock lock(mutex_);
    if (failing(Op::Write)) return kFtIoError;
    Cable* cable = cableOf(handle);
    if (!cable) return kFtIoError;
    if (!bytes || !written) return kFtInvalidParameter;
    std::uint32_t n = toWrite;
    if (shortWrites_ && calls_[static_cast<int>(Op::Write)] > shortWriteAfter_)
        n = static_cast<std::uint32_t>(std::min<std::size_t>(toWrite, shortWriteBytes_));
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    writes_.emplace_back(first, first + n);
    const std::uint32_t now = clock_.tickMs();
    writeTimes_.push_back(now);
    *written = n;
    SimDevice* device = cable->device;
    lock.unlock();
    if (device) device->receive(first, n, now);
    return kFtOk;
}

FtStatus SimFtdiDriver::close(FtHandle handle) {
    std::lock_guard lock(mutex_);
    if (failing(Op::Close)) return kFtIoError;
    readTimeouts_.erase(handle);
    woken_.erase(handle);
    changed_.notify_all();
    return open_.erase(handle) ? kFtOk : kFtInvalidHandle;
}

} // namespace k8w::sim
