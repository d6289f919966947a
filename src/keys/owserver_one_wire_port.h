#pragma once
#include "keys/one_wire_names.h"
#include "keys/one_wire_port.h"
#include "keys/owserver_client.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace k8w::keys {

// The reader port on an owserver reached over the network with owserver's
// own protocol: the reader of the Windows edition, where there is no OWFS
// (an owserver on Linux or on a small board serves the adapter). The targets
// are tried in order; "host:port" names a server, anything else is passed
// over. The first server with a reader bus is used; its reader buses are the
// ports, and a read looks at all of them.
class OwserverOneWirePort final : public OneWirePort {
public:
    // The owserver named by K8W_OWSERVER, else by owserver= in the [reader]
    // group of k8w.conf in the current directory (the data folder), else the
    // one on this machine's default port.
    static std::vector<std::string> DefaultTargets();

    explicit OwserverOneWirePort(std::vector<std::string> targets, OwfsTiming timing = {},
                                 OwfsBuses buses = OwfsBuses::All);
    ~OwserverOneWirePort() override;
    OwserverOneWirePort(const OwserverOneWirePort&) = delete;
    OwserverOneWirePort& operator=(const OwserverOneWirePort&) = delete;

    int Enum1WirePorts() override;
    int Open1WirePort(int portIndex) override;
    int Read1WireBlocking(int handle, std::uint8_t* identity) override;
    void StopAll1WireOperations() override;
    void Close1WirePort(int handle) override;

    // The target in use while a port is open or after an enumeration; empty otherwise.
    std::string target() const;

private:
    bool ensureSession();
    void endSession();
    std::vector<std::string> readerBuses(const OwserverClient& server) const;
    // One search of every bus: true with the first key found. `failed` is
    // set when the server does not answer or a bus is gone.
    bool searchKey(std::uint8_t* identity, bool& failed);

    const std::vector<std::string> targets_;
    const OwfsTiming timing_;
    const OwfsBuses busChoice_;
    const std::set<std::uint8_t> families_{kFamilyIButton, kFamilyDs1961s};

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::atomic<bool> stop_{false};
    std::string session_;                    // the target in use
    std::unique_ptr<OwserverClient> server_;  // used by the reading thread only
    std::vector<std::string> buses_;          // its reader buses ("/bus.0")
    int handle_ = -1;
    int nextHandle_ = 1;
    std::chrono::steady_clock::time_point lastSearch_{};
};

} // namespace k8w::keys
