#include "keys/owfs_one_wire_port.h"

namespace k8w::keys {

OneWirePort& systemOneWirePort() {
    static OwfsOneWirePort port;  // automatic discovery
    return port;
}

} // namespace k8w::keys
