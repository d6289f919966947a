#include "keys/key_reader.h"

#include "common/clock.h"
#include "keys/key_code.h"
#include "keys/one_wire_port.h"

#include <algorithm>
#include <cstring>

namespace k8w::keys {

void ReadKeyFourHits(OneWirePort& port, Clock& clock, KeyReaderFlags& flags,
                     const std::atomic<bool>& stop, const std::function<void(int hits)>& progress,
                     std::uint8_t* keyCode) {
    // Stopped before the reader was reached: it is left untouched.
    if (stop.load()) return;
    if (port.Enum1WirePorts() < 1) flags.readerFailure.store(true);
    // The port is opened even after a failed enumeration, as the driver expects.
    const int handle = port.Open1WirePort(0);
    if (handle < 0) flags.readerFailure.store(true);

    std::uint8_t remembered[kKeyIdentitySize] = {};
    int hits = 0;
    std::uint32_t lastTick = 0;
    while (!stop.load() && !flags.keyRead.load() && !flags.readerFailure.load()) {
        std::uint8_t identity[kKeyIdentitySize] = {};
        const int result = port.Read1WireBlocking(handle, identity);
        if (result == kReadKeyPresent) {
            if (hits == 0) {
                std::memcpy(remembered, identity, sizeof remembered);
                hits = 1;
            } else if (!std::equal(identity + 1, identity + 7, remembered + 1)) {
                hits = 0;  // another key: the next good read starts a new count
            } else if (const std::uint32_t now = clock.tickMs(); now - lastTick > kHitSpacingMs) {
                lastTick = now;
                ++hits;
            }
        } else if (result != kReadNoKeyYet) {
            flags.readerFailure.store(true);
            break;
        }
        if (progress) progress(hits);
        if (hits == kHitsToAccept) {
            const KeyCode code = KeyCodeFromIdentity(remembered);
            std::memcpy(keyCode, code.data(), code.size());
            flags.keyRead.store(true);
            break;
        }
    }
    if (handle >= 0) port.Close1WirePort(handle);
}

} // namespace k8w::keys
