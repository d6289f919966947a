#pragma once
#include "keys/one_wire_names.h"
#include "keys/one_wire_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace k8w::keys {

// The reader port on OWFS, the 1-Wire stack of Linux (libowcapi). OWFS
// reaches the USB adapters (DS9490R) itself and the serial ones (DS9097U,
// DS2480B) through an owserver started for them. The adapters are looked for
// in the order of `targets`: "host:port" is an owserver, tried only when it
// accepts a connection (OWFS itself would retry a refused server for
// seconds); "-u" is the first USB adapter. The first target with a reader
// bus is used; its reader buses are the ports, and a read looks at all of them.
//
// libowcapi keeps one connection per process, so only one object may have a
// port open at a time.
class OwfsOneWirePort final : public OneWirePort {
public:
    using Timing = OwfsTiming;

    // The owserver named by K8W_OWSERVER, else the one on this machine's
    // default port, then the first USB adapter.
    static std::vector<std::string> DefaultTargets();

    // Automatic discovery: DefaultTargets(), simulated buses passed over.
    OwfsOneWirePort();
    explicit OwfsOneWirePort(std::vector<std::string> targets, Timing timing = {},
                             OwfsBuses buses = OwfsBuses::All);
    ~OwfsOneWirePort() override;
    OwfsOneWirePort(const OwfsOneWirePort&) = delete;
    OwfsOneWirePort& operator=(const OwfsOneWirePort&) = delete;

    int Enum1WirePorts() override;
    int Open1WirePort(int portIndex) override;
    int Read1WireBlocking(int handle, std::uint8_t* identity) override;
    void StopAll1WireOperations() override;
    void Close1WirePort(int handle) override;

    // The target in use while a port is open or after an enumeration; empty otherwise.
    std::string target() const;

private:
    // A bus of the session: `prefix` leads to the adapter ("/bus.0" for an
    // owserver, whose own buses lie below the client's bus 0; empty for a
    // local adapter), `name` is "bus.N".
    struct Bus {
        std::string prefix;
        std::string name;
    };

    bool ensureSession();
    void endSession();
    // The reader buses of the adapter below `prefix`.
    std::vector<Bus> readerBuses(const std::string& prefix) const;
    int countBuses() const;
    // One search of every bus: true with the first key found, false without.
    // `failed` is set when OWFS cannot list the buses.
    bool searchKey(std::uint8_t* identity, bool& failed);

    const std::vector<std::string> targets_;
    const Timing timing_;
    const OwfsBuses busChoice_;
    const std::set<std::uint8_t> families_{kFamilyIButton, kFamilyDs1961s};

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    // Set under mutex_ and waited for on stopped_; atomic as well because the
    // wait with a deadline goes through pthread_cond_clockwait, whose release
    // of the lock ThreadSanitizer does not see.
    std::atomic<bool> stop_{false};
    std::string session_;  // the target OWFS was initialised with
    std::vector<Bus> buses_;  // its reader buses; used by the reading thread only
    int handle_ = -1;
    int nextHandle_ = 1;
    std::chrono::steady_clock::time_point lastSearch_{};
};

} // namespace k8w::keys
