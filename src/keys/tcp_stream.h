#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace k8w::keys {

// One TCP connection whose every call waits at most as long as it is told,
// blocked in the system. The platform's sockets (POSIX or Winsock) are behind
// a file of their own.
class TcpStream {
public:
    TcpStream() = default;
    ~TcpStream();
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // False when the name does not resolve, the connection is refused, or it
    // is not made within `wait`.
    bool connect(const std::string& host, const std::string& port, std::chrono::milliseconds wait);
    // All the bytes, or false.
    bool send(const void* bytes, std::size_t size, std::chrono::milliseconds wait);
    bool receive(void* bytes, std::size_t size, std::chrono::milliseconds wait);
    void close();

private:
    std::intptr_t socket_ = -1;
};

} // namespace k8w::keys
