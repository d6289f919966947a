#include "cli/cli_sim_serve.h"

#include "cli/cli_commands.h"
#include "cli/cli_output.h"

#include <QString>

namespace k8w::cli {

// Windows has no pseudo-terminals: the simulated device is served by k8w-cli
// sim on Linux, or tried in the demo edition.
int ServeSimDevice(sim::SimDevice&) {
    printError(QStringLiteral("sim needs a pseudo-terminal, which Windows has not: run k8w-cli sim on Linux, "
                              "or try k8w-prog-demo"));
    return kExitFailed;
}

} // namespace k8w::cli
