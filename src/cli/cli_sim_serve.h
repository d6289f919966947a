#pragma once

namespace k8w::sim {
class SimDevice;
}

namespace k8w::cli {

// Serves `device` for k8w-cli sim until Ctrl-C or SIGTERM: on a
// pseudo-terminal whose path is printed first. The exit status.
int ServeSimDevice(sim::SimDevice& device);

} // namespace k8w::cli
