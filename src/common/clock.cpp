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
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace k8w
