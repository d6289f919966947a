#pragma once
#include "common/clock.h"
#include "keys/one_wire_port.h"
#include "link/ftdi_driver.h"

namespace k8w {

// The hardware the windows talk to: the real cables and clock in k8w-prog,
// simulated ones in the demo edition and in tests.
struct AppHardware {
    link::FtdiDriver* cables = nullptr;  // null: the system's FTDI cables
    Clock* clock = nullptr;              // null: the system clock
    keys::OneWirePort* keyReader = nullptr;  // null: the system's 1-Wire readers

    link::FtdiDriver& cableDriver() const { return cables ? *cables : link::systemFtdiDriver(); }
    Clock& timeSource() const { return clock ? *clock : systemClock(); }
    keys::OneWirePort& keyPort() const { return keyReader ? *keyReader : keys::systemOneWirePort(); }
};

} // namespace k8w
