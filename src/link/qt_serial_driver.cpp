#include "link/qt_serial_driver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#else
#include <atomic>
#endif

namespace k8w::link {

namespace {
constexpr quint16 kFtdiVendor = 0x0403;
} // namespace

// What ends a waitForBytes early: on Unix a pipe whose read end is polled
// beside the port, elsewhere a flag looked at between short waits. A wake that
// comes while nobody waits is kept for the next wait.
class QtSerialDriver::WaitBreaker {
public:
#ifdef Q_OS_UNIX
    WaitBreaker() {
        if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
        for (int fd : fds_) {
            if (fd < 0) continue;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
        }
    }
    ~WaitBreaker() {
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    bool ok() const { return fds_[0] >= 0; }
    int fd() const { return fds_[0]; }
    void wake() {
        const char one = 1;
        // A full pipe already holds a wake.
        [[maybe_unused]] const ssize_t n = ::write(fds_[1], &one, 1);
    }
    void clear() {
        char sink[64];
        while (::read(fds_[0], sink, sizeof sink) > 0) {
        }
    }

private:
    int fds_[2] = {-1, -1};
#else
    bool ok() const { return true; }
    void wake() { woken_.store(true); }
    bool woken() const { return woken_.load(); }
    void clear() { woken_.store(false); }

private:
    std::atomic<bool> woken_{false};
#endif
};

struct QtSerialDriver::OpenPort {
    std::unique_ptr<QSerialPort> port;
    QString name;
    std::uint32_t readTimeoutMs = kDefaultReadTimeoutMs;
    std::uint32_t writeTimeoutMs = kDefaultWriteTimeoutMs;
    WaitBreaker breaker;
};

QtSerialDriver::QtSerialDriver() : explicitOnly_(false) {}

QtSerialDriver::QtSerialDriver(std::vector<Port> explicitPorts)
    : explicitOnly_(true), explicitPorts_(std::move(explicitPorts)) {}

QtSerialDriver::~QtSerialDriver() = default;

std::vector<QtSerialDriver::Port> QtSerialDriver::listPorts() const {
    if (explicitOnly_) return explicitPorts_;
    std::vector<Port> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (!info.hasVendorIdentifier() || info.vendorIdentifier() != kFtdiVendor) continue;
        if (info.serialNumber().isEmpty()) continue;
        ports.push_back({info.serialNumber(), info.systemLocation()});
    }
    return ports;
}

FtStatus QtSerialDriver::createDeviceInfoList(std::uint32_t* count) {
    if (!count) return kFtInvalidParameter;
    std::lock_guard lock(mutex_);
    listed_ = listPorts();
    *count = static_cast<std::uint32_t>(listed_.size());
    return kFtOk;
}

FtStatus QtSerialDriver::getDeviceInfoList(FtDeviceInfo* list, std::uint32_t capacity, std::uint32_t* count) {
    std::lock_guard lock(mutex_);
    return CopyListedPorts(listed_, list, capacity, count);
}

FtStatus QtSerialDriver::openEx(const char* what, std::uint32_t how, FtHandle* handle) {
    if (!what || !handle || how != kFtOpenBySerialNumber) return kFtInvalidParameter;
    *handle = 0;
    const QString serial = QString::fromLatin1(what);
    // The ports as they are now: a cable unplugged since it was listed is gone.
    const std::vector<Port> ports = listPorts();
    const auto match = std::find_if(ports.begin(), ports.end(), [&](const Port& p) {
        return p.serial.toLatin1().left(kSerialNumberSize) == serial.toLatin1();
    });
    if (serial.isEmpty() || match == ports.end()) return kFtDeviceNotFound;

    auto open = std::make_unique<OpenPort>();
    if (!open->breaker.ok()) return kFtOtherError;
    open->port = std::make_unique<QSerialPort>();
    open->port->setPortName(match->path);
    open->name = QFileInfo(match->path).fileName();
    if (!open->port->open(QIODevice::ReadWrite)) return kFtDeviceNotOpened;

    std::lock_guard lock(mutex_);
    const FtHandle h = nextHandle_++;
    open_[h] = std::move(open);
    *handle = h;
    return kFtOk;
}

QtSerialDriver::OpenPort* QtSerialDriver::find(FtHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FtStatus QtSerialDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    return open->port->setBaudRate(static_cast<qint32>(baud)) ? kFtOk : kFtIoError;
}

FtStatus QtSerialDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                                std::uint8_t stopBits, std::uint8_t parity) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (wordLength < 5 || wordLength > 8 || (stopBits != 0 && stopBits != 2) || parity > 4)
        return kFtInvalidParameter;
    static const QSerialPort::Parity kParity[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                  QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                  QSerialPort::SpaceParity};
    QSerialPort& port = *open->port;
    const bool ok = port.setDataBits(static_cast<QSerialPort::DataBits>(wordLength)) &&
                    port.setStopBits(stopBits == 0 ? QSerialPort::OneStop : QSerialPort::TwoStop) &&
                    port.setParity(kParity[parity]);
    return ok ? kFtOk : kFtIoError;
}

FtStatus QtSerialDriver::setFlowControl(FtHandle handle, std::uint16_t flow, std::uint8_t,
                                        std::uint8_t) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (flow != kFtFlowNone) return kFtInvalidParameter;
    return open->port->setFlowControl(QSerialPort::NoFlowControl) ? kFtOk : kFtIoError;
}

QString QtSerialDriver::latencyTimerPath(const QString& portName) {
    return QStringLiteral("/sys/bus/usb-serial/devices/%1/latency_timer").arg(portName);
}

FtStatus QtSerialDriver::setLatencyTimer(FtHandle handle, std::uint8_t ms) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (ms == 0) return kFtInvalidParameter;
    // Where the port has a latency timer and we may set it, it is set; a port
    // without one (or without the right to change it) keeps its own.
    QFile timer(latencyTimerPath(open->name));
    if (timer.exists() && timer.open(QIODevice::WriteOnly)) timer.write(QByteArray::number(ms));
    return kFtOk;
}

FtStatus QtSerialDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    open->readTimeoutMs = readMs;
    open->writeTimeoutMs = writeMs;
    return kFtOk;
}

namespace {

// A wait that ended without data is no failure; anything else is.
bool portFailed(QSerialPort& port) {
    const QSerialPort::SerialPortError error = port.error();
    if (error == QSerialPort::NoError) return false;
    if (error == QSerialPort::TimeoutError) {
        port.clearError();
        return false;
    }
    return true;
}

// A line whose far end is gone (a cable pulled out, a terminal closed)
// reports a hang-up or an error condition, whether or not a read noticed it.
bool hungUp(QSerialPort& port) {
#ifdef Q_OS_UNIX
    pollfd line{static_cast<int>(port.handle()), 0, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace

FtStatus QtSerialDriver::getStatus(FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                   std::uint32_t* events) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!rxQueue || !txQueue || !events) return kFtInvalidParameter;
    QSerialPort& port = *open->port;
    // Takes in whatever the system holds for the port, without waiting.
    port.waitForReadyRead(0);
    if (portFailed(port) || hungUp(port)) return kFtIoError;
    *rxQueue = static_cast<std::uint32_t>(port.bytesAvailable());
    *txQueue = static_cast<std::uint32_t>(port.bytesToWrite());
    *events = 0;
    return kFtOk;
}

FtStatus QtSerialDriver::read(FtHandle handle, void* buffer, std::uint32_t toRead, std::uint32_t* got) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!buffer || !got) return kFtInvalidParameter;
    *got = 0;
    QSerialPort& port = *open->port;
    QElapsedTimer timer;
    timer.start();
    while (port.bytesAvailable() < static_cast<qint64>(toRead)) {
        const qint64 left = static_cast<qint64>(open->readTimeoutMs) - timer.elapsed();
        if (left <= 0) break;
        port.waitForReadyRead(static_cast<int>(left));
        if (portFailed(port)) return kFtIoError;
    }
    const qint64 n = port.read(static_cast<char*>(buffer), toRead);
    if (n < 0) return kFtIoError;
    *got = static_cast<std::uint32_t>(n);
    return kFtOk;
}

FtStatus QtSerialDriver::write(FtHandle handle, const void* bytes, std::uint32_t toWrite,
                               std::uint32_t* written) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!bytes || !written) return kFtInvalidParameter;
    *written = 0;
    QSerialPort& port = *open->port;
    if (port.write(static_cast<const char*>(bytes), toWrite) != static_cast<qint64>(toWrite))
        return kFtIoError;
    QElapsedTimer timer;
    timer.start();
    while (port.bytesToWrite() > 0) {
        const qint64 left = static_cast<qint64>(open->writeTimeoutMs) - timer.elapsed();
        if (left <= 0) break;
        port.waitForBytesWritten(static_cast<int>(left));
        if (portFailed(port)) return kFtIoError;
    }
    // The queue drains from its front and this call's bytes are its tail:
    // whatever is still queued belongs to them first, older bytes after.
    const qint64 unsent = std::min<qint64>(static_cast<qint64>(toWrite), port.bytesToWrite());
    *written = static_cast<std::uint32_t>(static_cast<qint64>(toWrite) - unsent);
    return kFtOk;
}

FtStatus QtSerialDriver::close(FtHandle handle) {
    std::unique_ptr<OpenPort> open;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle);
        if (it == open_.end()) return kFtInvalidHandle;
        open = std::move(it->second);
        open_.erase(it);
    }
    open->port->close();
    return kFtOk;
}

FtStatus QtSerialDriver::waitForBytes(FtHandle handle, std::uint32_t timeoutMs, std::uint32_t* rxQueue) {
    OpenPort* open = find(handle);
    if (!open) return kFtInvalidHandle;
    if (!rxQueue) return kFtInvalidParameter;
    *rxQueue = 0;
    QSerialPort& port = *open->port;
    WaitBreaker& breaker = open->breaker;
    port.waitForReadyRead(0);
    if (portFailed(port) || hungUp(port)) return kFtIoError;
#ifdef Q_OS_UNIX
    if (port.bytesAvailable() == 0) {
        pollfd fds[2] = {{static_cast<int>(port.handle()), POLLIN, 0}, {breaker.fd(), POLLIN, 0}};
        const int timeout = timeoutMs == kFtWaitForever
                                ? -1
                                : static_cast<int>(std::min<std::uint32_t>(timeoutMs, INT32_MAX));
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return kFtIoError;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return kFtIoError;
        if (fds[0].revents & POLLIN) port.waitForReadyRead(0);
    }
#else
    QElapsedTimer timer;
    timer.start();
    while (port.bytesAvailable() == 0 && !breaker.woken()) {
        const qint64 left = timeoutMs == kFtWaitForever ? 10 : qint64{timeoutMs} - timer.elapsed();
        if (left <= 0) break;
        port.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 10)));
        if (portFailed(port)) return kFtIoError;
    }
#endif
    breaker.clear();  // whatever woke the caller, it looks at everything again
    if (portFailed(port)) return kFtIoError;
    *rxQueue = static_cast<std::uint32_t>(port.bytesAvailable());
    return kFtOk;
}

FtStatus QtSerialDriver::interruptWait(FtHandle handle) {
    // Under the lock: a port being closed meanwhile is either still whole or gone.
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    if (it == open_.end()) return kFtInvalidHandle;
    it->second->breaker.wake();
    return kFtOk;
}

std::unique_ptr<FtdiDriver> MakeNamedPortDriver(std::vector<NamedPort> ports) {
    return std::make_unique<QtSerialDriver>(std::move(ports));
}

FtdiDriver& systemFtdiDriver() {
    static QtSerialDriver driver;
    return driver;
}

} // namespace k8w::link
