// A full write and a full read of a 585-byte image through a pseudo-terminal
// against `k8w-cli sim`, in real time, beside the protocol's own floor: the
// same exchange in virtual time against an instant device, which is the sum
// of the fixed waits (200 ms handshake, 500 ms per query, 10 ms per poll).
#include "cards/config_image.h"
#include "common/virtual_clock.h"
#include "link/ftdi_controller.h"
#include "link/qt_serial_driver.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace k8w;

QString simPath;  // the terminal of the running `k8w-cli sim --ready-next`

std::vector<std::uint8_t> benchImage() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::uint16_t crc = ImageCrc16(image.data(), kImageCrcOffset);
    image[583] = static_cast<std::uint8_t>(crc);
    image[584] = static_cast<std::uint8_t>(crc >> 8);
    return image;
}

// Virtual milliseconds of one exchange against a device that answers at once.
template <typename Link>
double floorMs(const std::vector<std::uint8_t>& image, bool write) {
    VirtualClock clock(0);
    sim::DeviceSettings settings;
    settings.readyNext = true;
    settings.replyDelayMs = 0;
    sim::SimDevice device(settings);
    device.setStoredImage(image);
    sim::SimFtdiDriver driver(clock);
    driver.plug("FLOOR", &device);
    Link link(driver, clock);
    link.Open(write ? image.data() : nullptr, write ? static_cast<int>(image.size()) : 0);
    if (link.Start() != link::kLinkDone) return -1;
    return clock.tickMs();
}

template <typename Link>
void runExchange(benchmark::State& state, bool write) {
    const auto image = benchImage();
    const double floor = floorMs<Link>(image, write);
    link::QtSerialDriver driver({{QStringLiteral("SIM"), simPath}});
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Link link(driver);
        link.Open(write ? image.data() : nullptr, write ? static_cast<int>(image.size()) : 0);
        const int result = link.Start();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (result != link::kLinkDone || (!write && link.DataLength() != static_cast<int>(kImageSize))) {
            state.SkipWithError("the exchange failed");
            return;
        }
        totalMs += took.count();
    }
    const double realMs = totalMs / static_cast<double>(state.iterations());
    state.counters["real_ms"] = realMs;
    state.counters["floor_ms"] = floor;
    state.counters["ratio"] = realMs / floor;
}

void BM_WriteImageThroughPty(benchmark::State& state) { runExchange<link::FTDI_Controller>(state, true); }
void BM_ReadImageThroughPty(benchmark::State& state) { runExchange<link::FTDI_ReadCtrl>(state, false); }

BENCHMARK(BM_WriteImageThroughPty)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadImageThroughPty)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);  // the serial ports poll without an event loop, but want a dispatcher
    QTemporaryDir dir;  // the programming log goes here
    QDir::setCurrent(dir.path());
    QProcess sim;
    sim.start(QStringLiteral(K8W_CLI_PATH), {QStringLiteral("sim"), QStringLiteral("--ready-next")});
    while (sim.waitForReadyRead(5000) && !sim.canReadLine()) {
    }
    simPath = QString::fromUtf8(sim.readLine()).trimmed();
    if (simPath.isEmpty()) {
        std::fprintf(stderr, "k8w-cli sim did not start\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
