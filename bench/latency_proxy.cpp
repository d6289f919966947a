#include "latency_proxy.h"

#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <utility>

namespace k8w::bench {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

void noDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool sendAll(int fd, const std::vector<char>& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Milliseconds poll may sleep until `due`, rounded up; -1 without a due time.
int waitMs(const Clock::time_point* due) {
    if (!due) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;  // empty: the sender closed its side
};

} // namespace

LatencyProxy::LatencyProxy(int targetPort, std::chrono::milliseconds oneWay)
    : targetPort_(targetPort), delay_(oneWay) {
    int stop[2];
    if (::pipe(stop) != 0) throw std::runtime_error("latency proxy: no pipe");
    stopRead_ = stop[0];
    stopWrite_ = stop[1];
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("latency proxy: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    acceptor_.reset(QThread::create([this] { acceptLoop(); }));
    acceptor_->start();
}

LatencyProxy::~LatencyProxy() {
    const char stop = 0;
    while (::write(stopWrite_, &stop, 1) < 0 && errno == EINTR) {}
    acceptor_->wait();
    closeAll();
    ::close(listener_);
    ::close(stopRead_);
    ::close(stopWrite_);
}

void LatencyProxy::closeAll() {
    std::vector<std::unique_ptr<QThread>> threads;
    {
        QMutexLocker locked(&lock_);
        // A thread blocked in send() to a peer that no longer reads returns.
        for (int fd : sockets_) ::shutdown(fd, SHUT_RDWR);
        threads.swap(threads_);
    }
    for (auto& thread : threads) thread->wait();
    for (int fd : sockets_) ::close(fd);
    sockets_.clear();
}

void LatencyProxy::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{stopRead_, POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (!fds[1].revents) continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client >= 0) connect(client);
    }
}

// The client's connection to the target, one forwarding thread each way.
void LatencyProxy::connect(int client) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in target = loopback(targetPort_);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        if (server >= 0) ::close(server);
        ::close(client);
        return;
    }
    noDelay(client);
    noDelay(server);
    QMutexLocker locked(&lock_);
    sockets_.push_back(client);
    sockets_.push_back(server);
    for (auto [from, to] : {std::pair{client, server}, std::pair{server, client}}) {
        threads_.emplace_back(QThread::create([this, from, to] { forward(from, to); }));
        threads_.back()->start();
    }
}

// Reads chunks from `from` as they come and sends each to `to` once the
// delay after its arrival has passed; the end of `from` follows its last chunk.
void LatencyProxy::forward(int from, int to) {
    std::deque<Chunk> held;
    bool reading = true;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        pollfd fds[2] = {{stopRead_, POLLIN, 0}, {reading ? from : -1, POLLIN, 0}};
        if (::poll(fds, 2, waitMs(held.empty() ? nullptr : &held.front().due)) < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (fds[1].revents) {
            const ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            reading = n > 0;
            held.push_back({Clock::now() + delay_, std::vector<char>(buffer.data(), buffer.data() + std::max<ssize_t>(n, 0))});
        }
        while (!held.empty() && held.front().due <= Clock::now()) {
            if (held.front().bytes.empty()) {
                ::shutdown(to, SHUT_WR);
                return;
            }
            if (!sendAll(to, held.front().bytes)) return;
            held.pop_front();
        }
    }
}

} // namespace k8w::bench
