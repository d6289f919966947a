#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

namespace k8w {
class Clock;
}

namespace k8w::keys {

class OneWirePort;

// How a key is accepted: the same identity seen four times, each count after
// the second more than 300 ms after the previous counted one.
constexpr int kHitsToAccept = 4;
constexpr std::uint32_t kHitSpacingMs = 300;

// Set by the reading loop, read by whoever shows its outcome. They are
// cleared only before a reading loop starts.
struct KeyReaderFlags {
    std::atomic<bool> keyRead{false};
    std::atomic<bool> readerFailure{false};
    void clear() {
        keyRead.store(false);
        readerFailure.store(false);
    }
};

// One run of the key worker: enumerates and opens port 0, reads until the
// same key was counted four times, a read fails or `stop` is set, and closes
// the port; with `stop` already set it does nothing. `progress` gets the hit
// count after every read. On success `keyCode` (6 bytes) gets the code of the
// key and flags.keyRead is set. To stop a run, set `stop` first and then call
// StopAll1WireOperations: the enumeration clears the port's stop, so a stop
// given the other way round can be lost.
void ReadKeyFourHits(OneWirePort& port, Clock& clock, KeyReaderFlags& flags,
                     const std::atomic<bool>& stop, const std::function<void(int hits)>& progress,
                     std::uint8_t* keyCode);

} // namespace k8w::keys
