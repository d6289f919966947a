// The control link's framing over a replayed cable: the link thread greets,
// sends the window's commands and reads the device's bytes packet by packet;
// the fuzz input is what the device sends, and what the window asks for.
//
// The link thread runs freely until it has nothing to do but wait; then the
// "window" (this thread) fetches what the link handed over and takes its next
// step. Time is virtual: a wait with a deadline passes at once, a wait without
// one hands over to the window.
//
// Input: the script of ReadScript; Reply, Late and Fault items are the
// device's, Action items the window's steps (low three bits: which, the other
// three: its argument).
#include "ctrl_replies.h"
#include "fuzz_support.h"
#include "replay_driver.h"

#include "control/ftdi_vexlar_ctrl.h"
#include "link/link_block.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace k8w;
using k8w::fuzz::require;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Virtual time, and a count of the times the link thread settled into a wait
// that only someone else can end.
class HandoffClock final : public Clock {
public:
    std::uint32_t tickMs() override { return now_.load(); }
    void sleepMs(std::uint32_t ms) override { now_.fetch_add(ms); }
    bool waitFor(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, std::uint32_t ms,
                 const std::function<bool()>& ready) override {
        if (ms != kForever) {
            if (ready()) return true;
            now_.fetch_add(ms);
            return ready();
        }
        while (!ready()) {
            settled();
            wake.wait(lock);
        }
        return true;
    }

    void settled() {
        std::lock_guard lock(mutex_);
        ++settles_;
        changed_.notify_all();
    }
    std::uint64_t settles() const {
        std::lock_guard lock(mutex_);
        return settles_;
    }
    // Waits until the link has settled again since `before` was read.
    void awaitSettled(std::uint64_t before) {
        std::unique_lock lock(mutex_);
        const bool settledAgain = changed_.wait_for(lock, std::chrono::seconds(10), [&] { return settles_ > before; });
        require(settledAgain, "the link settles into a wait (no endless loop, no deadlock)");
    }

private:
    std::atomic<std::uint32_t> now_{1000};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t settles_ = 0;
};

class Window {
public:
    Window(fuzz::ReplayDriver& driver, HandoffClock& clock) : clock_(clock) {
        const std::uint64_t before = clock_.settles();
        link_ = std::make_unique<control::FTDI_VexlarCtrl>(driver, clock);
        clock_.awaitSettled(before);
    }

    // A step that wakes the link, then the wait until it has settled again.
    template <typename Step> void wake(Step step) {
        const std::uint64_t before = clock_.settles();
        step(*link_);
        clock_.awaitSettled(before);
    }

    // The replies the link has handed over, up to the first failure, as one
    // tick of the window's timer fetches them.
    void fetchAll() {
        for (;;) {
            control::CtrlCommand reply;
            reply.length = -1;  // stays so when a link error is fetched (255 is also a device error's code)
            QString text;
            const std::uint64_t before = clock_.settles();
            const int result = link_->FetchReply(reply, text);
            if (result == control::kFetchNothing) return;
            if (fuzz::tracing())
                std::fprintf(stderr, "fetched %d: %s\n", result,
                             qPrintable(reply.length < 0 ? text
                                        : link::HexDump(reply.payload, static_cast<std::size_t>(reply.length)) + text));
            const bool linkError = result == control::kFetchLinkError && reply.length < 0;
            if (linkError) {
                // The link goes on after a failure is fetched, and may fail
                // again at once: one failure per tick of the window's timer.
                clock_.awaitSettled(before);
                return;
            }
            require(result == reply.code, "a fetched reply gives its code");
            require(fuzz::isReplyCode(result), "only replies the device can send are handed over");
            require(reply.length == static_cast<std::int32_t>(fuzz::replyPayloadSize(reply.code)), "a reply carries its payload");
            if (result == control::kCmdReadKey || result == control::kCmdSetOutputs ||
                result == control::kReplyDeviceError)
                require(!text.isEmpty(), "these replies come with a text");
        }
    }

    void act(std::uint8_t action) {
        const int argument = action >> 3;
        switch (action & 7) {
        case 0: wake([](auto& l) { l.PollStatus(); }); break;
        case 1: wake([](auto& l) { l.RequestKey(); }); break;
        case 2: wake([&](auto& l) { l.SetOutput(argument, true); }); break;
        case 3: wake([&](auto& l) { l.SetOutput(argument, false); }); break;
        case 4: wake([&](auto& l) { l.SelectSim(argument & 1); }); break;
        case 5: wake([](auto& l) { l.RequestHandshake(); }); break;
        case 6:  // the window is hidden and shown again
            wake([](auto& l) { l.StopLink(); });
            wake([](auto& l) {
                l.StartLink();
                l.RequestHandshake();
            });
            break;
        default:
            require(link_->PendingCount() >= 0, "the count of pending commands is not negative");
            break;
        }
    }

private:
    HandoffClock& clock_;
    std::unique_ptr<control::FTDI_VexlarCtrl> link_;
};

bool isCommandPacket(const Bytes& w) {
    if (w.size() < 3 || w[0] != control::kCommandStart) return false;
    if (link::BlockChecksum(w.data(), w.size() - 1) != w.back()) return false;
    switch (w[1]) {
    case control::kCmdStatus:
    case control::kCmdReadKey:
        return w.size() == 3;
    case control::kCmdSetOutputs:
        return w.size() == 4;
    default:
        return false;
    }
}

constexpr int kMaxSteps = 64;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::requireCodec();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    std::deque<fuzz::ScriptItem> device;
    std::deque<std::uint8_t> steps;
    for (fuzz::ScriptItem& item : fuzz::ReadScript(input)) {
        if (item.kind == fuzz::ScriptItem::Kind::Action) steps.push_back(item.action);
        else device.push_back(std::move(item));
    }
    HandoffClock clock;
    fuzz::ReplayDriver driver(clock, std::move(device));
    driver.setIdleHandler([&] { clock.settled(); });
    {
        Window window(driver, clock);
        // As the window's showing does it.
        window.wake([](auto& l) {
            l.StartLink();
            l.RequestHandshake();
        });
        for (int step = 0; step < kMaxSteps; ++step) {
            window.fetchAll();
            if (!steps.empty()) {
                window.act(steps.front());
                steps.pop_front();
            } else if (driver.scriptDone()) {
                break;
            } else {
                window.act(0);  // the window's status poll, once a second
            }
        }
        window.fetchAll();
        window.wake([](auto& l) { l.StopLink(); });
        window.fetchAll();
    }
    if (fuzz::tracing())
        for (const Bytes& w : driver.writes())
            std::fprintf(stderr, "sent %s\n", qPrintable(link::HexDump(w.data(), w.size())));
    static const Bytes greeting = {'P', 'R', 'O', 'G', '_', 'K', '8', 'W', '_', 'C', 'T', 'R', 'L'};
    for (const Bytes& w : driver.writes())
        require(w == greeting || isCommandPacket(w), "the link sends only its greeting and command packets");
    return 0;
}
