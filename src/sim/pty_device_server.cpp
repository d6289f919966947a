#include "sim/pty_device_server.h"

#include "sim/sim_device.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace k8w::sim {

PtyDeviceServer::PtyDeviceServer(SimDevice& device, Clock& clock) : device_(device), clock_(clock) {}

PtyDeviceServer::~PtyDeviceServer() {
    stopBackground_ = true;
    if (background_.joinable()) background_.join();
    if (master_ >= 0) ::close(master_);
}

bool PtyDeviceServer::serveInBackground(std::string* error) {
    if (!open(error)) return false;
    background_ = std::thread([this] { serve(stopBackground_); });
    return true;
}

bool PtyDeviceServer::open(std::string* error) {
    auto fail = [&](const char* what) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        if (master_ >= 0) ::close(master_);
        master_ = -1;
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return fail("posix_openpt");
    if (::grantpt(master_) != 0) return fail("grantpt");
    if (::unlockpt(master_) != 0) return fail("unlockpt");
    char name[256] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Programs started later must not hold the terminal's device side: when
    // the server closes it, the line is gone for its client too.
    ::fcntl(master_, F_SETFD, ::fcntl(master_, F_GETFD) | FD_CLOEXEC);

    // Raw from the start: no echo, no line editing, no CR/LF translation,
    // whoever opens the terminal and however it sets it up.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) return fail("open slave");
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B115200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);
    return true;
}

void PtyDeviceServer::deliver() {
    std::uint8_t buffer[4096];
    for (;;) {
        const std::size_t n = device_.read(buffer, sizeof buffer, clock_.tickMs());
        if (n == 0) return;
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(master_, buffer + done, n - done);
            if (w > 0) {
                done += static_cast<std::size_t>(w);
            } else if (w < 0 && errno == EAGAIN) {
                pollfd out{master_, POLLOUT, 0};
                ::poll(&out, 1, 10);
            } else {
                break;  // nobody on the other side: the reply is lost on the line
            }
        }
        if (delivered_ && done > 0) delivered_(done);
    }
}

void PtyDeviceServer::serve(const std::atomic<bool>& stop) {
    if (master_ < 0) return;
    std::uint8_t buffer[4096];
    while (!stop.load()) {
        int timeoutMs = 20;
        const std::int64_t due = device_.nextDueMs();
        if (due >= 0) {
            const std::int32_t left = static_cast<std::int32_t>(static_cast<std::uint32_t>(due) - clock_.tickMs());
            timeoutMs = std::clamp(left, 0, 20);
        }
        pollfd in{master_, POLLIN, 0};
        const int ready = ::poll(&in, 1, timeoutMs);
        if (ready > 0 && (in.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) device_.receive(buffer, static_cast<std::size_t>(n), clock_.tickMs());
        } else if (ready > 0 && (in.revents & (POLLHUP | POLLERR))) {
            // No one has the terminal open: wait for the next client.
            clock_.sleepMs(10);
        }
        deliver();
    }
}

} // namespace k8w::sim
