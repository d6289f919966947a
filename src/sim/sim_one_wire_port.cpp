#include "sim/sim_one_wire_port.h"

#include "keys/key_code.h"

#include <chrono>
#include <cstring>

namespace k8w::sim {
namespace {

constexpr auto kIdleBlock = std::chrono::seconds(1);

} // namespace

SimOneWirePort::SimOneWirePort(Clock& clock, std::uint32_t pollMs) : clock_(clock), pollMs_(pollMs) {}

SimOneWirePort::Identity SimOneWirePort::KeyIdentity(std::uint64_t serial, std::uint8_t family) {
    Identity id{};
    id[0] = family;
    for (int i = 1; i <= 6; ++i) id[i] = static_cast<std::uint8_t>(serial >> (8 * (i - 1)));
    id[7] = keys::OneWireCrc8(id.data(), 7);
    return id;
}

void SimOneWirePort::touch(const Identity& key, std::uint32_t atMs, std::uint32_t forMs) {
    std::lock_guard lock(mutex_);
    script_.push_back({key, atMs, forMs});
}

void SimOneWirePort::repeatEvery(std::uint32_t periodMs) {
    std::lock_guard lock(mutex_);
    periodMs_ = periodMs;
}

void SimOneWirePort::scriptDemoTouches() {
    touch(KeyIdentity(0x0000'1A2B'3C4D'5E6FULL), 0, 150);
    repeatEvery(350);
}

void SimOneWirePort::setPortCount(int count) {
    std::lock_guard lock(mutex_);
    portCount_ = count;
}

void SimOneWirePort::failOpen(bool fail) {
    std::lock_guard lock(mutex_);
    failOpen_ = fail;
}

void SimOneWirePort::failRead(int readNumber, int result) {
    std::lock_guard lock(mutex_);
    failReadNumber_ = readNumber;
    failReadResult_ = result;
}

void SimOneWirePort::holdRead(int readNumber, int result) {
    std::lock_guard lock(mutex_);
    holdReadNumber_ = readNumber;
    holdResult_ = result;
}

void SimOneWirePort::releaseHeldRead() {
    {
        std::lock_guard lock(mutex_);
        holdReadNumber_ = 0;
    }
    released_.notify_all();
}

bool SimOneWirePort::readHeld() const {
    std::lock_guard lock(mutex_);
    return holding_;
}

int SimOneWirePort::enumerations() const {
    std::lock_guard lock(mutex_);
    return enumerations_;
}

int SimOneWirePort::reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

int SimOneWirePort::openHandles() const {
    std::lock_guard lock(mutex_);
    return openHandles_;
}

int SimOneWirePort::stopCalls() const {
    std::lock_guard lock(mutex_);
    return stopCalls_;
}

bool SimOneWirePort::keyAt(std::uint32_t sinceOpen, Identity& key, bool& later) const {
    const std::uint32_t t = periodMs_ ? sinceOpen % periodMs_ : sinceOpen;
    later = periodMs_ != 0;
    for (const Touch& touch : script_) {
        if (t >= touch.atMs && t - touch.atMs < touch.forMs) {
            key = touch.key;
            return true;
        }
        if (touch.atMs > t) later = true;
    }
    return false;
}

int SimOneWirePort::Enum1WirePorts() {
    std::lock_guard lock(mutex_);
    ++enumerations_;
    stop_ = false;
    return portCount_;
}

int SimOneWirePort::Open1WirePort(int portIndex) {
    std::lock_guard lock(mutex_);
    if (failOpen_ || portIndex < 0 || portIndex >= portCount_) return -1;
    handle_ = nextHandle_++;
    ++openHandles_;
    openedAt_ = clock_.tickMs();
    readsThisRun_ = 0;
    return handle_;
}

int SimOneWirePort::Read1WireBlocking(int handle, std::uint8_t* identity) {
    {
        std::unique_lock lock(mutex_);
        if (handle < 0 || handle != handle_) return keys::kReadFailed;
        if (++reads_ == holdReadNumber_) {
            holding_ = true;
            released_.wait(lock, [this] { return holdReadNumber_ == 0; });
            holding_ = false;
            return holdResult_;
        }
        if (++readsThisRun_ == failReadNumber_) return failReadResult_;
        if (stop_) return keys::kReadNoKeyYet;
    }
    clock_.sleepMs(pollMs_);
    std::unique_lock lock(mutex_);
    Identity key{};
    bool later = false;
    if (keyAt(clock_.tickMs() - openedAt_, key, later)) {
        std::memcpy(identity, key.data(), key.size());
        return keys::kReadKeyPresent;
    }
    // An idle reader blocks: nothing is left in the script to wait for.
    if (!later) stopped_.wait_for(lock, kIdleBlock, [this] { return stop_; });
    return keys::kReadNoKeyYet;
}

void SimOneWirePort::StopAll1WireOperations() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        ++stopCalls_;
    }
    stopped_.notify_all();
}

void SimOneWirePort::Close1WirePort(int handle) {
    std::lock_guard lock(mutex_);
    if (handle != handle_ || handle < 0) return;
    handle_ = -1;
    --openHandles_;
}

} // namespace k8w::sim
