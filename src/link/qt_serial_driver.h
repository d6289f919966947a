#pragma once
#include "link/ftdi_driver.h"
#include "link/serial_ports.h"

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QSerialPort;

namespace k8w::link {

// The cable driver on the platform's serial ports. By default it lists the
// USB serial ports of FTDI chips (vendor 0x0403) with their serial numbers.
// Given explicit ports it lists those instead, each under a serial of the
// caller's choosing; that is how a port that is no FTDI cable (a
// pseudo-terminal, an adapter of another make) is used.
//
// Reads and writes never need an event loop: the port is polled, so the
// driver works on any thread. A port is used on the thread that opened it;
// only interruptWait comes from other threads.
class QtSerialDriver final : public FtdiDriver {
public:
    using Port = NamedPort;

    QtSerialDriver();
    explicit QtSerialDriver(std::vector<Port> explicitPorts);
    ~QtSerialDriver() override;

    FtStatus createDeviceInfoList(std::uint32_t* count) override;
    FtStatus getDeviceInfoList(FtDeviceInfo* list, std::uint32_t capacity,
                               std::uint32_t* count) override;
    FtStatus openEx(const char* what, std::uint32_t how, FtHandle* handle) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                    std::uint8_t stopBits, std::uint8_t parity) override;
    FtStatus setFlowControl(FtHandle handle, std::uint16_t flow, std::uint8_t xon,
                            std::uint8_t xoff) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t ms) override;
    FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    FtStatus getStatus(FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                       std::uint32_t* events) override;
    FtStatus read(FtHandle handle, void* buffer, std::uint32_t toRead, std::uint32_t* got) override;
    FtStatus write(FtHandle handle, const void* bytes, std::uint32_t toWrite,
                   std::uint32_t* written) override;
    FtStatus close(FtHandle handle) override;
    FtStatus waitForBytes(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t* rxQueue) override;
    FtStatus interruptWait(FtHandle handle) override;

    // Where the latency timer of a USB serial port is set on this platform.
    static QString latencyTimerPath(const QString& portName);

    // Timeouts of a port whose timeouts were never set.
    static constexpr std::uint32_t kDefaultReadTimeoutMs = 1000;
    static constexpr std::uint32_t kDefaultWriteTimeoutMs = 1000;

private:
    class WaitBreaker;
    struct OpenPort;
    std::vector<Port> listPorts() const;
    OpenPort* find(FtHandle handle);

    const bool explicitOnly_;
    const std::vector<Port> explicitPorts_;
    std::mutex mutex_;
    std::vector<Port> listed_;
    std::map<FtHandle, std::unique_ptr<OpenPort>> open_;
    FtHandle nextHandle_ = 1;
};

} // namespace k8w::link
