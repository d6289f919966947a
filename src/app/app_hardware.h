#pragma once
#include "common/clock.h"
#include "link/ftdi_driver.h"

namespace k8w {

// The hardware the windows talk to: the real cables and clock in k8w-prog,
// simulated ones in the demo edition and in tests.
struct AppHardware {
    link::FtdiDriver* cables = nullptr;  // null: the system's FTDI cables
    Clock* clock = nullptr;              // null: the system clock

    link::FtdiDriver& cableDriver() const { return cables ? *cables : link::systemFtdiDriver(); }
    Clock& timeSource() const { return clock ? *clock : systemClock(); }
};

} // namespace k8w
