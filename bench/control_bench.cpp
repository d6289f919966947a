// The control link polling the status once a second, as the control window
// does, with the simulated device behind a pseudo-terminal, in real time.
// Two links are measured in the same run: the one that waits for the next
// event between its steps, and one that only yields the processor there.
// Figures: the link thread's processor time per second of wall time, the
// whole process's, and the delay from a reply's arrival on the terminal to
// the FetchReply that hands it over: with the window's 10 ms fetch timer,
// and with fetching every millisecond, which shows the link's own share.
#include "control/ftdi_vexlar_ctrl.h"
#include "link/qt_serial_driver.h"
#include "sim/pty_device_server.h"
#include "sim/sim_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <time.h>

namespace {

using namespace k8w;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr auto kRunFor = std::chrono::seconds(6);
constexpr auto kPollPeriod = std::chrono::milliseconds(1000);
constexpr std::size_t kStatusReplySize = 15;

// Nanoseconds on a processor of the thread the link runs on (found by its
// name), from the scheduler's own account; -1 when not found.
double linkThreadCpuNs() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "FTDI_VexlarCtrl") continue;
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly)) return -1;
        return stat.readAll().split(' ').value(0).toDouble();
    }
    return -1;
}

double processCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// A simulated device on a terminal that notes when each status reply has
// gone out to the link's side.
class TimedDevice {
public:
    TimedDevice() {
        server_.setDeliveryListener([this](std::size_t bytes) {
            if (bytes != kStatusReplySize) return;
            std::lock_guard lock(mutex_);
            arrivals_.push_back(Clock::now());
        });
        ok_ = server_.serveInBackground();
    }
    bool ok() const { return ok_; }
    QString path() const { return QString::fromStdString(server_.slavePath()); }
    Clock::time_point takeArrival() {
        std::lock_guard lock(mutex_);
        if (arrivals_.empty()) return Clock::now();
        const Clock::time_point first = arrivals_.front();
        arrivals_.pop_front();
        return first;
    }

private:
    std::mutex mutex_;
    std::deque<Clock::time_point> arrivals_;
    sim::SimDevice device_;
    sim::PtyDeviceServer server_{device_};  // last: its thread stops first
    bool ok_ = false;
};

void BM_StatusPollsOnceASecond(benchmark::State& state) {
    const auto pacing = state.range(0) == 0 ? control::FTDI_VexlarCtrl::Pacing::WaitForEvents
                                            : control::FTDI_VexlarCtrl::Pacing::YieldOnly;
    const auto fetchTick = std::chrono::milliseconds(state.range(1));
    TimedDevice device;
    if (!device.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    link::QtSerialDriver cable({{QStringLiteral("SIM"), device.path()}});
    for (auto _ : state) {
        control::FTDI_VexlarCtrl link(cable, systemClock(), pacing);
        link.StartLink();
        link.RequestHandshake();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // opened and greeted

        std::vector<double> delays;
        const double linkStart = linkThreadCpuNs();
        const double processStart = processCpuNs();
        const auto start = Clock::now();
        auto nextTick = start;
        auto nextPoll = start;
        while (Clock::now() - start < kRunFor) {
            // The window's timers: the poll every second, the fetch every 10 ms.
            if (Clock::now() >= nextPoll) {
                nextPoll += kPollPeriod;
                if (link.PendingCount() == 0 && link.IsRunning()) link.PollStatus();
            }
            control::CtrlCommand reply;
            QString text;
            if (link.FetchReply(reply, text) == control::kCmdStatus)
                delays.push_back(Ms(Clock::now() - device.takeArrival()).count());
            nextTick += fetchTick;
            std::this_thread::sleep_until(nextTick);
        }
        const double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        const double linkCpu = linkThreadCpuNs() - linkStart;
        const double processCpu = processCpuNs() - processStart;
        link.StopLink();

        if (delays.empty()) {
            state.SkipWithError("no status reply came");
            return;
        }
        double sum = 0;
        for (double d : delays) sum += d;
        state.counters["link_cpu_pct"] = linkStart < 0 ? -1 : 100.0 * linkCpu / wallNs;
        state.counters["process_cpu_pct"] = 100.0 * processCpu / wallNs;
        state.counters["delay_mean_ms"] = sum / static_cast<double>(delays.size());
        state.counters["delay_max_ms"] = *std::max_element(delays.begin(), delays.end());
        state.counters["replies"] = static_cast<double>(delays.size());
    }
}

BENCHMARK(BM_StatusPollsOnceASecond)
    ->ArgNames({"yield_only", "fetch_ms"})
    ->ArgsProduct({{0, 1}, {10, 1}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
