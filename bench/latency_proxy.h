#pragma once
// A TCP proxy on the loopback address that forwards every connection to a
// port of 127.0.0.1 and holds each chunk of bytes back for a fixed delay in
// each direction, in order: a slow network for a server on this computer.
#include <QMutex>

#include <chrono>
#include <memory>
#include <vector>

class QThread;

namespace k8w::bench {

class LatencyProxy {
public:
    LatencyProxy(int targetPort, std::chrono::milliseconds oneWay);
    ~LatencyProxy();  // closes every connection and waits for its threads
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    int port() const { return port_; }

private:
    void acceptLoop();
    void connect(int client);
    void forward(int from, int to);
    void closeAll();

    const int targetPort_;
    const std::chrono::milliseconds delay_;
    int listener_ = -1;
    int port_ = 0;
    int stopRead_ = -1;   // readable once the proxy stops: wakes every thread's poll
    int stopWrite_ = -1;
    QMutex lock_;  // guards sockets_ and threads_
    std::vector<int> sockets_;
    std::vector<std::unique_ptr<QThread>> threads_;
    std::unique_ptr<QThread> acceptor_;
};

} // namespace k8w::bench
