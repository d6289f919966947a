#pragma once
#include "link/ftdi_driver.h"

#include <QString>

#include <memory>
#include <vector>

namespace k8w::link {

// A serial port given by the user instead of the FTDI cables the system
// lists: `path` is the port ("/dev/ttyUSB0", "COM5"), `serial` the name the
// driver lists it under.
struct NamedPort {
    QString serial;
    QString path;
};

// The driver's list of cables as the FTDI interface gives it: at most
// `capacity` entries of `listed`, each with its serial number and port.
FtStatus CopyListedPorts(const std::vector<NamedPort>& listed, FtDeviceInfo* list, std::uint32_t capacity,
                         std::uint32_t* count);

// The cable driver of this platform's serial ports, listing exactly `ports`.
std::unique_ptr<FtdiDriver> MakeNamedPortDriver(std::vector<NamedPort> ports);

} // namespace k8w::link
