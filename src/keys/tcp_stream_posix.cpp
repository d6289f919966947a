#include "keys/tcp_stream.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace k8w::keys {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on `fd` until `deadline`; false on a timeout or an error.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n > 0) return (p.revents & events) != 0 || (p.revents & POLLHUP) != 0;
        if (n == 0 || errno != EINTR) return false;
    }
}

} // namespace

TcpStream::~TcpStream() { close(); }

void TcpStream::close() {
    if (socket_ >= 0) ::close(static_cast<int>(socket_));
    socket_ = -1;
}

bool TcpStream::connect(const std::string& host, const std::string& port, std::chrono::milliseconds wait) {
    close();
    const auto deadline = Clock::now() + wait;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    for (addrinfo* a = found; a && socket_ < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline)) {
            int error = 0;
            socklen_t size = sizeof error;
            connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        if (connected) socket_ = fd;
        else ::close(fd);
    }
    ::freeaddrinfo(found);
    return socket_ >= 0;
}

bool TcpStream::send(const void* bytes, std::size_t size, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    const char* at = static_cast<const char*>(bytes);
    const int fd = static_cast<int>(socket_);
    while (size > 0) {
        if (fd < 0 || !waitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t n = ::send(fd, at, size, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TcpStream::receive(void* bytes, std::size_t size, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    char* at = static_cast<char*>(bytes);
    const int fd = static_cast<int>(socket_);
    while (size > 0) {
        if (fd < 0 || !waitFor(fd, POLLIN, deadline)) return false;
        const ssize_t n = ::recv(fd, at, size, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;  // closed by the server, or failed
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace k8w::keys
