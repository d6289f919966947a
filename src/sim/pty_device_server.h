#pragma once
#include "common/clock.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>

namespace k8w::sim {

class SimDevice;

// Puts a simulated device behind a pseudo-terminal: whatever is written to
// the terminal's slave side reaches the device, and the device's replies
// come back on it when they fall due (on the given clock, normally the real
// one). A program under test opens slavePath() as its serial port.
class PtyDeviceServer {
public:
    explicit PtyDeviceServer(SimDevice& device, Clock& clock = systemClock());
    ~PtyDeviceServer();
    PtyDeviceServer(const PtyDeviceServer&) = delete;
    PtyDeviceServer& operator=(const PtyDeviceServer&) = delete;

    // Creates the terminal in raw mode. False with `error` set on failure.
    bool open(std::string* error = nullptr);
    const std::string& slavePath() const { return slavePath_; }

    // Serves until `stop` is set (checked at least every 20 ms).
    void serve(const std::atomic<bool>& stop);
    // Creates the terminal and serves it on a thread of its own until the
    // server is destroyed. False with `error` set when it cannot be created.
    bool serveInBackground(std::string* error = nullptr);

    // Called on the serving thread each time replies have gone out to the
    // terminal, with their size. Set before serving.
    void setDeliveryListener(std::function<void(std::size_t bytes)> listener) { delivered_ = std::move(listener); }

private:
    void deliver();

    SimDevice& device_;
    Clock& clock_;
    int master_ = -1;
    std::string slavePath_;
    std::function<void(std::size_t)> delivered_;
    std::atomic<bool> stopBackground_{false};
    std::thread background_;
};

} // namespace k8w::sim
