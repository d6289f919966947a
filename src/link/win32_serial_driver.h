#pragma once
#include "link/ftdi_driver.h"
#include "link/serial_ports.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace k8w::link {

// The cable driver on Windows' serial ports (COMn; an FTDI cable gets one
// from FTDI's virtual COM port driver). By default it lists the FTDI cables
// (vendor 0x0403) the system knows, each with its serial number and its port
// in the description; given explicit ports it lists those instead.
//
// Every wait blocks in the system: reads and writes within the timeouts the
// port is given (COMMTIMEOUTS), waitForBytes on the port's receive event and
// the port's own wake-up event together. A port is used on the thread that
// opened it; only interruptWait comes from other threads.
class Win32SerialDriver final : public FtdiDriver {
public:
    Win32SerialDriver();
    explicit Win32SerialDriver(std::vector<NamedPort> explicitPorts);
    ~Win32SerialDriver() override;

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

    // Timeouts of a port whose timeouts were never set.
    static constexpr std::uint32_t kDefaultReadTimeoutMs = 1000;
    static constexpr std::uint32_t kDefaultWriteTimeoutMs = 1000;

private:
    class OpenPort;
    std::vector<NamedPort> listPorts() const;
    OpenPort* find(FtHandle handle);

    const bool explicitOnly_;
    const std::vector<NamedPort> explicitPorts_;
    std::mutex mutex_;
    std::vector<NamedPort> listed_;
    std::map<FtHandle, std::unique_ptr<OpenPort>> open_;
    FtHandle nextHandle_ = 1;
};

} // namespace k8w::link
