#include "keys/tcp_stream.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace k8w::keys {
namespace {

using Clock = std::chrono::steady_clock;

// Winsock is started once for the process and stays up for its life.
bool winsockStarted() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// Waits until `s` can be written (or is connected) or read, until `deadline`;
// false on a timeout or an error. A failed connect shows in the error set.
bool waitFor(SOCKET s, bool writing, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval timeout{static_cast<long>(left.count() / 1000000), static_cast<long>(left.count() % 1000000)};
    const int n = ::select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &timeout);
    return n > 0 && FD_ISSET(s, &ready) && !FD_ISSET(s, &failed);
}

} // namespace

TcpStream::~TcpStream() { close(); }

void TcpStream::close() {
    if (socket_ != -1) ::closesocket(static_cast<SOCKET>(socket_));
    socket_ = -1;
}

bool TcpStream::connect(const std::string& host, const std::string& port, std::chrono::milliseconds wait) {
    close();
    if (!winsockStarted()) return false;
    const auto deadline = Clock::now() + wait;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    for (addrinfo* a = found; a && socket_ == -1; a = a->ai_next) {
        const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        bool connected = ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
        if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) connected = waitFor(s, true, deadline);
        if (connected) socket_ = static_cast<std::intptr_t>(s);
        else ::closesocket(s);
    }
    ::freeaddrinfo(found);
    return socket_ != -1;
}

bool TcpStream::send(const void* bytes, std::size_t size, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    const char* at = static_cast<const char*>(bytes);
    const SOCKET s = static_cast<SOCKET>(socket_);
    while (size > 0) {
        if (socket_ == -1 || !waitFor(s, true, deadline)) return false;
        const int n = ::send(s, at, static_cast<int>(size), 0);
        if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TcpStream::receive(void* bytes, std::size_t size, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    char* at = static_cast<char*>(bytes);
    const SOCKET s = static_cast<SOCKET>(socket_);
    while (size > 0) {
        if (socket_ == -1 || !waitFor(s, false, deadline)) return false;
        const int n = ::recv(s, at, static_cast<int>(size), 0);
        if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (n <= 0) return false;  // closed by the server, or failed
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace k8w::keys
