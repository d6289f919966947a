#pragma once
#include "sim/pty_device_server.h"
#include "sim/sim_device.h"

#include <QString>

#include <string>

namespace k8w::test {

// A simulated device behind a pseudo-terminal, served on a thread of its
// own in real time; whatever opens path() talks to it.
class ServedDevice {
public:
    ServedDevice() { ok_ = server_.serveInBackground(); }

    bool ok() const { return ok_; }
    sim::SimDevice& device() { return device_; }
    QString path() const { return QString::fromStdString(server_.slavePath()); }
    // Command packets the device has taken so far.
    int commandsReceived() const {
        int n = 0;
        for (const std::string& what : device_.received()) n += what.rfind("51 ", 0) == 0 ? 1 : 0;
        return n;
    }

private:
    sim::SimDevice device_;
    sim::PtyDeviceServer server_{device_};
    bool ok_ = false;
};

} // namespace k8w::test
