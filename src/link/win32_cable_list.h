#pragma once
#include "link/serial_ports.h"

#include <vector>

namespace k8w::link {

// The FTDI cables Windows has a COM port for, found through SetupAPI: each
// with its USB serial number and its port ("COM5").
std::vector<NamedPort> ListFtdiComPorts();

} // namespace k8w::link
