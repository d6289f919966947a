#include "replay_driver.h"

#include <algorithm>
#include <cstring>

namespace k8w::fuzz {

std::deque<ScriptItem> ReadScript(Input& input) {
    std::deque<ScriptItem> script;
    while (input.left() > 0) {
        const std::uint8_t header = input.byte();
        ScriptItem item;
        item.kind = static_cast<ScriptItem::Kind>(header >> 6);
        const std::uint8_t low = header & 0x3F;
        if (item.kind == ScriptItem::Kind::Reply || item.kind == ScriptItem::Kind::Late) {
            std::size_t taken = 0;
            const std::uint8_t* bytes = input.take(low, taken);
            item.bytes.assign(bytes, bytes + taken);
        } else if (item.kind == ScriptItem::Kind::Action) {
            item.action = low;
        }
        script.push_back(std::move(item));
    }
    return script;
}

ReplayDriver::ReplayDriver(Clock& clock, std::deque<ScriptItem> script)
    : clock_(clock), script_(std::move(script)) {}

bool ReplayDriver::scriptDone() const {
    std::lock_guard lock(mutex_);
    return script_.empty();
}

std::vector<std::vector<std::uint8_t>> ReplayDriver::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

void ReplayDriver::runActions(std::unique_lock<std::mutex>& lock) {
    while (!script_.empty() && script_.front().kind == ScriptItem::Kind::Action) {
        const std::uint8_t action = script_.front().action;
        script_.pop_front();
        if (onAction_) {
            lock.unlock();
            onAction_(action);
            lock.lock();
        }
    }
}

bool ReplayDriver::lookAtLine(std::unique_lock<std::mutex>& lock) {
    runActions(lock);
    if (script_.empty()) return false;
    ScriptItem& head = script_.front();
    if (head.kind == ScriptItem::Kind::Fault) {
        script_.pop_front();
        return true;
    }
    if (head.kind == ScriptItem::Kind::Late) {
        line_.insert(line_.end(), head.bytes.begin(), head.bytes.end());
        script_.pop_front();
    }
    return false;
}

link::FtStatus ReplayDriver::createDeviceInfoList(std::uint32_t* count) {
    *count = 1;
    return link::kFtOk;
}

link::FtStatus ReplayDriver::getDeviceInfoList(link::FtDeviceInfo* list, std::uint32_t capacity,
                                               std::uint32_t* count) {
    *count = 0;
    if (capacity == 0) return link::kFtOk;
    list[0] = link::FtDeviceInfo{};
    std::memcpy(list[0].serialNumber, kSerial, sizeof kSerial);
    *count = 1;
    return link::kFtOk;
}

link::FtStatus ReplayDriver::openEx(const char* what, std::uint32_t how, link::FtHandle* handle) {
    std::lock_guard lock(mutex_);
    if (how != link::kFtOpenBySerialNumber || std::strcmp(what, kSerial) != 0 || open_)
        return link::kFtDeviceNotOpened;
    open_ = true;
    interrupted_ = false;
    *handle = kHandle;
    return link::kFtOk;
}

link::FtStatus ReplayDriver::setBaudRate(link::FtHandle handle, std::uint32_t) {
    std::lock_guard lock(mutex_);
    return openHandle(handle) ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::setDataCharacteristics(link::FtHandle handle, std::uint8_t, std::uint8_t,
                                                    std::uint8_t) {
    std::lock_guard lock(mutex_);
    return openHandle(handle) ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::setFlowControl(link::FtHandle handle, std::uint16_t, std::uint8_t, std::uint8_t) {
    std::lock_guard lock(mutex_);
    return openHandle(handle) ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::setLatencyTimer(link::FtHandle handle, std::uint8_t) {
    std::lock_guard lock(mutex_);
    return openHandle(handle) ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::setTimeouts(link::FtHandle handle, std::uint32_t, std::uint32_t) {
    std::lock_guard lock(mutex_);
    return openHandle(handle) ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::getStatus(link::FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                       std::uint32_t* events) {
    std::unique_lock lock(mutex_);
    *rxQueue = *txQueue = *events = 0;
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    if (lookAtLine(lock)) return link::kFtIoError;
    *rxQueue = static_cast<std::uint32_t>(line_.size());
    return link::kFtOk;
}

link::FtStatus ReplayDriver::read(link::FtHandle handle, void* buffer, std::uint32_t toRead,
                                  std::uint32_t* got) {
    std::unique_lock lock(mutex_);
    *got = 0;
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    // Bytes that arrive within the read's timeout are read too.
    if (line_.empty() && lookAtLine(lock)) return link::kFtIoError;
    const std::size_t count = std::min<std::size_t>(toRead, line_.size());
    std::copy_n(line_.begin(), count, static_cast<std::uint8_t*>(buffer));
    line_.erase(line_.begin(), line_.begin() + static_cast<std::ptrdiff_t>(count));
    *got = static_cast<std::uint32_t>(count);
    return link::kFtOk;
}

link::FtStatus ReplayDriver::write(link::FtHandle handle, const void* bytes, std::uint32_t toWrite,
                                   std::uint32_t* written) {
    std::unique_lock lock(mutex_);
    *written = 0;
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    runActions(lock);
    if (script_.empty()) return link::kFtIoError;  // the cable was pulled
    const auto* at = static_cast<const std::uint8_t*>(bytes);
    writes_.emplace_back(at, at + toWrite);
    *written = toWrite;
    if (script_.front().kind == ScriptItem::Kind::Reply) {
        line_.insert(line_.end(), script_.front().bytes.begin(), script_.front().bytes.end());
        script_.pop_front();
    }
    return link::kFtOk;
}

link::FtStatus ReplayDriver::close(link::FtHandle handle) {
    std::lock_guard lock(mutex_);
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    open_ = false;
    line_.clear();
    changed_.notify_all();
    return link::kFtOk;
}

link::FtStatus ReplayDriver::waitForBytes(link::FtHandle handle, std::uint32_t timeoutMs,
                                          std::uint32_t* rxQueue) {
    std::unique_lock lock(mutex_);
    *rxQueue = 0;
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    if (lookAtLine(lock)) return link::kFtIoError;
    if (line_.empty() && !interrupted_) {
        if (timeoutMs != link::kFtWaitForever) {
            lock.unlock();
            clock_.sleepMs(timeoutMs);
            lock.lock();
        } else {
            if (onIdle_) {
                lock.unlock();
                onIdle_();
                lock.lock();
            }
            changed_.wait(lock, [this] { return interrupted_ || !open_ || !line_.empty(); });
        }
    }
    interrupted_ = false;
    *rxQueue = static_cast<std::uint32_t>(line_.size());
    return open_ ? link::kFtOk : link::kFtInvalidHandle;
}

link::FtStatus ReplayDriver::interruptWait(link::FtHandle handle) {
    std::lock_guard lock(mutex_);
    if (!openHandle(handle)) return link::kFtInvalidHandle;
    interrupted_ = true;
    changed_.notify_all();
    return link::kFtOk;
}

} // namespace k8w::fuzz
