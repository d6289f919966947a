#include "keys/owserver_one_wire_port.h"

namespace k8w::keys {

// Without OWFS the reader is an owserver on the network: the one named by
// K8W_OWSERVER or k8w.conf, else this machine's; simulated buses passed over.
OneWirePort& systemOneWirePort() {
    static OwserverOneWirePort port(OwserverOneWirePort::DefaultTargets(), {}, OwfsBuses::RealOnly);
    return port;
}

std::unique_ptr<OneWirePort> MakeOneWirePort(const std::string& named) {
    if (named.empty())
        return std::make_unique<OwserverOneWirePort>(OwserverOneWirePort::DefaultTargets(), OwfsTiming{},
                                                     OwfsBuses::RealOnly);
    return std::make_unique<OwserverOneWirePort>(std::vector<std::string>{named});
}

} // namespace k8w::keys
