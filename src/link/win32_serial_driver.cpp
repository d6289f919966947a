#include "link/win32_serial_driver.h"

#include "link/win32_cable_list.h"
#include "link/win32_comm_port.h"

#include <algorithm>
#include <cstring>

namespace k8w::link {

class Win32SerialDriver::OpenPort {
public:
    Win32CommPort port;
};

Win32SerialDriver::Win32SerialDriver() : explicitOnly_(false) {}

Win32SerialDriver::Win32SerialDriver(std::vector<NamedPort> explicitPorts)
    : explicitOnly_(true), explicitPorts_(std::move(explicitPorts)) {}

Win32SerialDriver::~Win32SerialDriver() = default;

std::vector<NamedPort> Win32SerialDriver::listPorts() const {
    return explicitOnly_ ? explicitPorts_ : ListFtdiComPorts();
}

FtStatus Win32SerialDriver::createDeviceInfoList(std::uint32_t* count) {
    if (!count) return kFtInvalidParameter;
    std::lock_guard lock(mutex_);
    listed_ = listPorts();
    *count = static_cast<std::uint32_t>(listed_.size());
    return kFtOk;
}

FtStatus Win32SerialDriver::getDeviceInfoList(FtDeviceInfo* list, std::uint32_t capacity, std::uint32_t* count) {
    std::lock_guard lock(mutex_);
    return CopyListedPorts(listed_, list, capacity, count);
}

FtStatus Win32SerialDriver::openEx(const char* what, std::uint32_t how, FtHandle* handle) {
    if (!what || !handle || how != kFtOpenBySerialNumber) return kFtInvalidParameter;
    *handle = 0;
    const QByteArray serial(what);
    // The ports as they are now: a cable unplugged since it was listed is gone.
    const std::vector<NamedPort> ports = listPorts();
    const auto match = std::find_if(ports.begin(), ports.end(), [&](const NamedPort& p) {
        return p.serial.toLatin1().left(kSerialNumberSize) == serial;
    });
    if (serial.isEmpty() || match == ports.end()) return kFtDeviceNotFound;

    auto open = std::make_unique<OpenPort>();
    if (!open->port.open(match->path.toStdWString())) return kFtDeviceNotOpened;

    std::lock_guard lock(mutex_);
    const FtHandle h = nextHandle_++;
    open_[h] = std::move(open);
    *handle = h;
    return kFtOk;
}

Win32SerialDriver::OpenPort* Win32SerialDriver::find(FtHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FtStatus Win32SerialDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    return open->port.setBaudRate(baud) ? kFtOk : kFtIoError;
}

FtStatus Win32SerialDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                   std::uint8_t stopBits, std::uint8_t parity) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (wordLength < 5 || wordLength > 8 || (stopBits != 0 && stopBits != 2) || parity > 4)
        return kFtInvalidParameter;
    return open->port.setFraming(wordLength, stopBits, parity) ? kFtOk : kFtIoError;
}

FtStatus Win32SerialDriver::setFlowControl(FtHandle handle, std::uint16_t flow, std::uint8_t, std::uint8_t) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (flow != kFtFlowNone) return kFtInvalidParameter;
    return open->port.setNoFlowControl() ? kFtOk : kFtIoError;
}

FtStatus Win32SerialDriver::setLatencyTimer(FtHandle handle, std::uint8_t ms) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    // FTDI's virtual COM port driver keeps the latency timer among the port's
    // advanced settings, out of an application's reach: the port keeps its own.
    return ms == 0 ? kFtInvalidParameter : kFtOk;
}

FtStatus Win32SerialDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    return open->port.setTimeouts(readMs, writeMs) ? kFtOk : kFtIoError;
}

FtStatus Win32SerialDriver::getStatus(FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                      std::uint32_t* events) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!rxQueue || !txQueue || !events) return kFtInvalidParameter;
    *events = 0;
    return open->port.queues(*rxQueue, *txQueue) ? kFtOk : kFtIoError;
}

FtStatus Win32SerialDriver::read(FtHandle handle, void* buffer, std::uint32_t toRead, std::uint32_t* got) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!buffer || !got) return kFtInvalidParameter;
    *got = 0;
    if (toRead == 0) return kFtOk;
    const long n = open->port.read(buffer, toRead);
    if (n < 0) return kFtIoError;
    *got = static_cast<std::uint32_t>(n);
    return kFtOk;
}

FtStatus Win32SerialDriver::write(FtHandle handle, const void* bytes, std::uint32_t toWrite,
                                  std::uint32_t* written) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!bytes || !written) return kFtInvalidParameter;
    *written = 0;
    if (toWrite == 0) return kFtOk;
    const long n = open->port.write(bytes, toWrite);
    if (n < 0) return kFtIoError;
    *written = static_cast<std::uint32_t>(n);
    return kFtOk;
}

FtStatus Win32SerialDriver::close(FtHandle handle) {
    std::unique_ptr<OpenPort> open;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle);
        if (it == open_.end()) return kFtInvalidHandle;
        open = std::move(it->second);
        open_.erase(it);
    }
    open->port.close();
    return kFtOk;
}

FtStatus Win32SerialDriver::waitForBytes(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t* rxQueue) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!rxQueue) return kFtInvalidParameter;
    *rxQueue = 0;
    const DWORD wait = timeoutMs == kFtWaitForever ? INFINITE : std::min<DWORD>(timeoutMs, INFINITE - 1);
    std::uint32_t tx = 0;
    if (!open->port.waitForBytes(wait) || !open->port.queues(*rxQueue, tx)) return kFtIoError;
    return kFtOk;
}

FtStatus Win32SerialDriver::interruptWait(FtHandle handle) {
    // Under the lock: a port being closed meanwhile is either still whole or gone.
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    if (it == open_.end()) return kFtInvalidHandle;
    it->second->port.wake();
    return kFtOk;
}

std::unique_ptr<FtdiDriver> MakeNamedPortDriver(std::vector<NamedPort> ports) {
    return std::make_unique<Win32SerialDriver>(std::move(ports));
}

FtdiDriver& systemFtdiDriver() {
    static Win32SerialDriver driver;
    return driver;
}

} // namespace k8w::link
