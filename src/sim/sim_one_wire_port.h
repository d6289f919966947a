#pragma once
#include "common/clock.h"
#include "keys/one_wire_port.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace k8w::sim {

// A simulated 1-Wire reader playing a script of touches on the injected
// clock. Each read first waits one poll period on the clock, then reports
// the key lying on the reader at that moment, counted from the opening of
// the port. Once the script is over (and it does not repeat) the reader is
// idle: a read blocks until StopAll1WireOperations, or returns "no key yet"
// after a second of real time.
class SimOneWirePort final : public keys::OneWirePort {
public:
    using Identity = std::array<std::uint8_t, keys::kKeyIdentitySize>;

    explicit SimOneWirePort(Clock& clock, std::uint32_t pollMs = 50);

    // An identity of family 0x01 with the given 48-bit serial and its CRC.
    static Identity KeyIdentity(std::uint64_t serial, std::uint8_t family = 0x01);

    // The key lies on the reader from `atMs` after the opening for `forMs`.
    void touch(const Identity& key, std::uint32_t atMs, std::uint32_t forMs);
    // The script starts again every `periodMs` (0: it plays once).
    void repeatEvery(std::uint32_t periodMs);
    // The demo edition's reader: one key touched for 150 ms every 350 ms.
    void scriptDemoTouches();

    // Failures: the number of ports listed, an opening that fails, and the
    // n-th read (counting from 1 in each run) returning `result`.
    void setPortCount(int count);
    void failOpen(bool fail);
    void failRead(int readNumber, int result);
    // A driver call that takes its time: the n-th read since the port object
    // was made (counting from 1) stays inside the driver, whatever
    // StopAll1WireOperations does, until releaseHeldRead(); then it returns
    // `result`.
    void holdRead(int readNumber, int result);
    void releaseHeldRead();
    // Whether a read is held inside the driver right now.
    bool readHeld() const;

    int enumerations() const;
    int reads() const;
    int openHandles() const;
    int stopCalls() const;

    int Enum1WirePorts() override;
    int Open1WirePort(int portIndex) override;
    int Read1WireBlocking(int handle, std::uint8_t* identity) override;
    void StopAll1WireOperations() override;
    void Close1WirePort(int handle) override;

private:
    struct Touch {
        Identity key;
        std::uint32_t atMs;
        std::uint32_t forMs;
    };
    // The key on the reader `sinceOpen` ms after the opening; false when none.
    // `later` tells whether the script still has a touch to come.
    bool keyAt(std::uint32_t sinceOpen, Identity& key, bool& later) const;

    Clock& clock_;
    const std::uint32_t pollMs_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<Touch> script_;
    std::uint32_t periodMs_ = 0;
    int portCount_ = 1;
    bool failOpen_ = false;
    int failReadNumber_ = 0;
    int failReadResult_ = keys::kReadFailed;
    int holdReadNumber_ = 0;
    int holdResult_ = keys::kReadNoKeyYet;
    bool holding_ = false;
    std::condition_variable released_;
    bool stop_ = false;
    int handle_ = -1;
    int nextHandle_ = 1;
    int openHandles_ = 0;
    std::uint32_t openedAt_ = 0;
    int readsThisRun_ = 0;
    int reads_ = 0;
    int enumerations_ = 0;
    int stopCalls_ = 0;
};

} // namespace k8w::sim
