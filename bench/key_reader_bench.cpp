// The key reader on an installation where it must give up or let go at once:
// Cancel pressed while the worker is inside a driver call that does not
// return (the simulated reader holds the read), from the click until the
// dialog's Run has returned; and one reading run of automatic discovery
// against an owserver whose only bus is simulated (as Debian's default
// /etc/owfs.conf starts it), until the reader failure.
#include "app/tenterkeydialog.h"
#include "common/clock.h"
#include "common/virtual_clock.h"
#include "keys/key_code.h"
#include "keys/key_reader.h"
#include "keys/owfs_one_wire_port.h"
#include "sim/sim_one_wire_port.h"
#include "support/owserver_process.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace k8w;
using Ms = std::chrono::duration<double, std::milli>;

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench_key_reader";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void BM_CancelWhileInsideADriverCall(benchmark::State& state) {
    application();
    VirtualClock clock;
    sim::SimOneWirePort reader(clock, 50);
    TenterKeyDialog dialog(reader, clock);
    const KeyEntry entries[6] = {};
    for (auto _ : state) {
        reader.holdRead(reader.reads() + 1, keys::kReadNoKeyYet);
        std::chrono::steady_clock::time_point clicked;
        QTimer::singleShot(0, &dialog, [&] {
            while (!reader.readHeld()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            clicked = std::chrono::steady_clock::now();
            dialog.findChild<QAbstractButton*>(QStringLiteral("cancelBtn"))->click();
        });
        dialog.Run(entries);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count());
        reader.releaseHeldRead();
        while (reader.openHandles() != 0) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}
BENCHMARK(BM_CancelWhileInsideADriverCall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DiscoveryGivesUpOnASimulatedServer(benchmark::State& state) {
    test::OwserverProcess server;
    if (!server.start({QStringLiteral("--fake=10,05")})) {
        state.SkipWithError("owserver did not start");
        return;
    }
    keys::OwfsOneWirePort port({server.address(), "-u"}, {}, keys::OwfsBuses::RealOnly);
    for (auto _ : state) {
        keys::KeyReaderFlags flags;
        std::atomic<bool> stop{false};
        keys::KeyCode code{};
        keys::ReadKeyFourHits(port, systemClock(), flags, stop, nullptr, code.data());
        if (!flags.readerFailure.load()) state.SkipWithError("a reader was found");
    }
}
BENCHMARK(BM_DiscoveryGivesUpOnASimulatedServer)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
