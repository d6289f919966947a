#pragma once
// The demo edition's hardware: two cables plugged in, both wired to one
// simulated device that keeps what is written, answers reads with it and
// speaks the control protocol with loops that change and a key reported now
// and then; the key reader sees a key touched a few times a second.
#include "app/app_hardware.h"

#include <memory>

namespace k8w {

namespace sim {
class SimDevice;
}

class DemoHardware {
public:
    DemoHardware();
    ~DemoHardware();
    DemoHardware(const DemoHardware&) = delete;
    DemoHardware& operator=(const DemoHardware&) = delete;

    AppHardware hardware() const;
    sim::SimDevice& device();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace k8w
