#include "keys/owfs_one_wire_port.h"

namespace k8w::keys {

OneWirePort& systemOneWirePort() {
    static OwfsOneWirePort port;  // automatic discovery
    return port;
}

std::unique_ptr<OneWirePort> MakeOneWirePort(const std::string& named) {
    if (named.empty()) return std::make_unique<OwfsOneWirePort>();
    return std::make_unique<OwfsOneWirePort>(std::vector<std::string>{named});
}

} // namespace k8w::keys
