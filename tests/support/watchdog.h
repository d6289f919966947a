#pragma once
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace k8w::test {

// How long a test waits for what must happen before it calls it a hang. Far
// above what any load can take (a busy two-core machine, the sanitizers): a
// test checks that something ends, never how fast; speed is for bench/.
inline constexpr int kHangMs = 60'000;
inline constexpr std::chrono::milliseconds kHang{kHangMs};

// Runs `work` on a thread of its own and tells whether it ended before the
// hang watchdog. When it did not, `unblock` is called so that the thread can
// still be joined (opening a pipe's other end, say).
inline bool endsBeforeTheWatchdog(const std::function<void()>& work, const std::function<void()>& unblock) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const bool ended = done.wait_for(kHang) == std::future_status::ready;
    if (!ended) unblock();
    runner.join();
    return ended;
}

} // namespace k8w::test
