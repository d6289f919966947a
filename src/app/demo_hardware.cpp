#include "app/demo_hardware.h"

#include "common/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_ftdi_driver.h"
#include "sim/sim_one_wire_port.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

namespace k8w {
namespace {

// Moves the loop readings about once a second and touches a key every
// fifteen seconds, until told to stop.
class DemoInputs {
public:
    explicit DemoInputs(sim::SimDevice& device) : thread_([this, &device] { run(device); }) {}
    ~DemoInputs() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void run(sim::SimDevice& device) {
        std::mt19937 random(std::random_device{}());
        std::uniform_int_distribution<int> drift(-60, 60);
        std::uint16_t loops[5] = {4700, 4650, 4720, 4690, 4710};
        for (int tick = 1;; ++tick) {
            std::unique_lock lock(mutex_);
            if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) return;
            lock.unlock();
            for (int loop = 0; loop < 5; ++loop) {
                loops[loop] = static_cast<std::uint16_t>(std::clamp(loops[loop] + drift(random), 4000, 5400));
                device.setLoop(loop + 1, loops[loop]);
            }
            if (tick % 15 == 0) device.presentKey({0x01, 0x5E, 0x2A, 0x33, 0x7F, 0x40, 0x00, 0xA7});
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

struct DemoHardware::Parts {
    sim::SimDevice device;
    sim::SimFtdiDriver cables{systemClock()};
    sim::SimOneWirePort reader{systemClock()};
    DemoInputs inputs{device};  // last: its thread stops before the device goes

    Parts() {
        cables.plug("K8WDEMO1", &device);
        cables.plug("K8WDEMO2", &device);
        reader.scriptDemoTouches();
    }
};

DemoHardware::DemoHardware() : parts_(std::make_unique<Parts>()) {}

DemoHardware::~DemoHardware() = default;

AppHardware DemoHardware::hardware() const { return {&parts_->cables, &systemClock(), &parts_->reader}; }

sim::SimDevice& DemoHardware::device() { return parts_->device; }

} // namespace k8w
