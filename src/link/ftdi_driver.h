#pragma once
#include <cstddef>
#include <cstdint>

namespace k8w::link {

// The FTDI cable driver as the utility uses it: exactly the operations below,
// each returning a status where 0 means success and anything else failure.
// The programming link and the control link go through this interface only;
// the real backend drives USB serial ports, the simulated one talks to a
// simulated device.

using FtStatus = std::uint32_t;
using FtHandle = std::uintptr_t;  // 0: not open

constexpr FtStatus kFtOk = 0;
constexpr FtStatus kFtInvalidHandle = 1;
constexpr FtStatus kFtDeviceNotFound = 2;
constexpr FtStatus kFtDeviceNotOpened = 3;
constexpr FtStatus kFtIoError = 4;
constexpr FtStatus kFtInvalidParameter = 6;
constexpr FtStatus kFtOtherError = 18;

constexpr std::uint32_t kFtOpenBySerialNumber = 1;
constexpr std::uint8_t kFtBits8 = 8;
constexpr std::uint8_t kFtStopBits1 = 0;
constexpr std::uint8_t kFtParityNone = 0;
constexpr std::uint16_t kFtFlowNone = 0;

// The device list holds this many entries; a driver never writes past them.
constexpr std::size_t kDeviceListSize = 10;
constexpr std::size_t kSerialNumberSize = 16;

// One entry of the device list. Of it the utility uses only the serial
// number: up to 16 characters, zero-terminated.
struct FtDeviceInfo {
    std::uint32_t flags = 0;
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::uint32_t locId = 0;
    char serialNumber[kSerialNumberSize + 1] = {};
    char description[64] = {};
    FtHandle handle = 0;
};

class FtdiDriver {
public:
    virtual ~FtdiDriver() = default;

    // Builds the driver's list of cables and gives their number.
    virtual FtStatus createDeviceInfoList(std::uint32_t* count) = 0;
    // Copies the list into `list`, at most `capacity` entries; `count` gets
    // the number of entries written.
    virtual FtStatus getDeviceInfoList(FtDeviceInfo* list, std::uint32_t capacity,
                                       std::uint32_t* count) = 0;
    // Opens a cable; `how` is kFtOpenBySerialNumber and `what` the serial.
    virtual FtStatus openEx(const char* what, std::uint32_t how, FtHandle* handle) = 0;
    virtual FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) = 0;
    virtual FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                            std::uint8_t stopBits, std::uint8_t parity) = 0;
    virtual FtStatus setFlowControl(FtHandle handle, std::uint16_t flow, std::uint8_t xon,
                                    std::uint8_t xoff) = 0;
    virtual FtStatus setLatencyTimer(FtHandle handle, std::uint8_t ms) = 0;
    virtual FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) = 0;
    // Never blocks: the bytes already waiting in the receive queue.
    virtual FtStatus getStatus(FtHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                               std::uint32_t* events) = 0;
    // Waits at most the read timeout for `toRead` bytes; `got` tells how many came.
    virtual FtStatus read(FtHandle handle, void* buffer, std::uint32_t toRead,
                          std::uint32_t* got) = 0;
    // `written` tells how many bytes went out within the write timeout.
    virtual FtStatus write(FtHandle handle, const void* bytes, std::uint32_t toWrite,
                           std::uint32_t* written) = 0;
    virtual FtStatus close(FtHandle handle) = 0;

    // Blocks until bytes are waiting in the receive queue, the wait is ended
    // with interruptWait, or `timeoutMs` have passed (kFtWaitForever: no
    // limit); `rxQueue` gets the bytes waiting then. A link waits here instead
    // of asking getStatus over and over.
    virtual FtStatus waitForBytes(FtHandle handle, std::uint32_t timeoutMs,
                                  std::uint32_t* rxQueue) = 0;
    // Ends the waitForBytes on `handle` in progress, or else the next one, at
    // once. Safe from any thread while the handle is open.
    virtual FtStatus interruptWait(FtHandle handle) = 0;
};

constexpr std::uint32_t kFtWaitForever = UINT32_MAX;

// The driver of the real cables (USB serial ports of FTDI chips), shared by
// the whole process.
FtdiDriver& systemFtdiDriver();

} // namespace k8w::link
