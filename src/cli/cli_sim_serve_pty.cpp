#include "cli/cli_sim_serve.h"

#include "cli/cli_commands.h"
#include "cli/cli_output.h"

#include "sim/pty_device_server.h"

#include <atomic>
#include <csignal>

namespace k8w::cli {
namespace {

std::atomic<bool> simStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSimSignal(int) { simStop.store(true); }

} // namespace

int ServeSimDevice(sim::SimDevice& device) {
    sim::PtyDeviceServer server(device);
    std::string error;
    if (!server.open(&error)) {
        printError(QString::fromStdString(error));
        return kExitFailed;
    }
    struct sigaction action {};
    action.sa_handler = onSimSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    printLine(QString::fromStdString(server.slavePath()));
    server.serve(simStop);
    return kExitOk;
}

} // namespace k8w::cli
