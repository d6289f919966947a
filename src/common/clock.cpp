#include "common/clock.h"

#include <chrono>
#include <thread>

namespace k8w {
namespace {

class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() override {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleepMs(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    bool waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::uint32_t ms,
                 const std::function<bool()>& ready) override {
        if (ms == kForever) {
            wake.wait(lock, ready);
            return true;
        }
        return wake.wait_for(lock, std::chrono::milliseconds(ms), ready);
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace k8w
