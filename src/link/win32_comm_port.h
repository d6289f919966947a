#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace k8w::link {

// One open COM port of Windows, opened for overlapped I/O so that a wait for
// bytes can be ended from another thread through the port's wake-up event.
// Every call blocks in the system at most as long as it says.
class Win32CommPort {
public:
    Win32CommPort() = default;
    ~Win32CommPort();
    Win32CommPort(const Win32CommPort&) = delete;
    Win32CommPort& operator=(const Win32CommPort&) = delete;

    // `name` is "COM5" or a full device path ("\\.\COM5"). The port starts at
    // 115200 8N1 without flow control, its queues empty.
    bool open(const std::wstring& name);
    void close();

    bool setBaudRate(std::uint32_t baud);
    bool setFraming(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity);
    bool setNoFlowControl();
    // A read waits at most readMs for all its bytes, a write at most writeMs.
    bool setTimeouts(std::uint32_t readMs, std::uint32_t writeMs);

    // The bytes waiting in the receive and the transmit queues; false when the
    // port failed (a cable pulled out).
    bool queues(std::uint32_t& rx, std::uint32_t& tx);
    // Reads up to `size` bytes within the read timeout; -1 on failure.
    long read(void* buffer, std::uint32_t size);
    // Writes within the write timeout; the bytes sent, -1 on failure.
    long write(const void* bytes, std::uint32_t size);
    // Blocks until bytes are waiting, wake() is called, or timeoutMs pass
    // (INFINITE: no limit). False when the port failed.
    bool waitForBytes(DWORD timeoutMs);
    // Ends the waitForBytes in progress, or else the next one. Any thread.
    void wake();

private:
    bool finish(OVERLAPPED& overlapped, BOOL started, DWORD& transferred);

    HANDLE port_ = INVALID_HANDLE_VALUE;
    HANDLE wake_ = nullptr;   // manual reset: a wake before the wait is kept
    HANDLE io_ = nullptr;     // the event of the read or write under way
    HANDLE event_ = nullptr;  // the event of WaitCommEvent
};

} // namespace k8w::link
