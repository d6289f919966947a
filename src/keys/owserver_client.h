#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace k8w::keys {

// The client side of owserver's network protocol (TCP, port 4304 by
// default): one connection per request, each message a header of six
// 32-bit big-endian words and a payload. Every call waits at most `wait`
// for each step of the exchange.
class OwserverClient {
public:
    OwserverClient(std::string host, std::string port, std::chrono::milliseconds wait);

    // Whether the server accepts a connection.
    bool accepts() const;
    // The entries of a directory ("/", "/bus.0", "/uncached/bus.0") as full
    // paths, the bus directories among them; false when the server fails.
    bool listDirectory(const std::string& path, std::vector<std::string>& entries) const;
    // The value of a property ("/bus.0/interface/settings/name").
    bool read(const std::string& path, std::string& value) const;

private:
    bool request(int type, const std::string& path, std::string& reply) const;

    const std::string host_;
    const std::string port_;
    const std::chrono::milliseconds wait_;
};

} // namespace k8w::keys
