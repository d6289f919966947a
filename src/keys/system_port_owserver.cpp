#include "keys/owserver_one_wire_port.h"

namespace k8w::keys {

// Without OWFS the reader is an owserver on the network: the one named by
// K8W_OWSERVER or k8w.conf, else this machine's; simulated buses passed over.
OneWirePort& systemOneWirePort() {
    static OwserverOneWirePort port(OwserverOneWirePort::DefaultTargets(), {}, OwfsBuses::RealOnly);
    return port;
}

} // namespace k8w::keys
