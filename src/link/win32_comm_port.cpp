#include "link/win32_comm_port.h"

namespace k8w::link {

Win32CommPort::~Win32CommPort() { close(); }

bool Win32CommPort::open(const std::wstring& name) {
    close();
    const std::wstring path = name.rfind(L"\\\\", 0) == 0 ? name : L"\\\\.\\" + name;
    port_ = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (port_ == INVALID_HANDLE_VALUE) return false;
    wake_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    io_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool ok = wake_ && io_ && event_ && ::SetupComm(port_, 4096, 4096) &&
                    ::PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR) &&
                    ::SetCommMask(port_, EV_RXCHAR) && setBaudRate(115200) && setFraming(8, 0, 0) &&
                    setNoFlowControl() && setTimeouts(1000, 1000);
    if (!ok) close();
    return ok;
}

void Win32CommPort::close() {
    if (port_ != INVALID_HANDLE_VALUE) {
        ::CancelIo(port_);
        ::CloseHandle(port_);
        port_ = INVALID_HANDLE_VALUE;
    }
    for (HANDLE* event : {&wake_, &io_, &event_}) {
        if (*event) ::CloseHandle(*event);
        *event = nullptr;
    }
}

bool Win32CommPort::setBaudRate(std::uint32_t baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (baud == 0 || !::GetCommState(port_, &dcb)) return false;
    dcb.BaudRate = baud;
    return ::SetCommState(port_, &dcb);
}

bool Win32CommPort::setFraming(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port_, &dcb)) return false;
    dcb.fBinary = TRUE;
    dcb.ByteSize = wordLength;
    dcb.StopBits = stopBits == 0 ? ONESTOPBIT : TWOSTOPBITS;
    dcb.Parity = parity;  // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY in that order
    dcb.fParity = parity != NOPARITY;
    return ::SetCommState(port_, &dcb);
}

bool Win32CommPort::setNoFlowControl() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port_, &dcb)) return false;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return ::SetCommState(port_, &dcb);
}

bool Win32CommPort::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    // A read returns when all its bytes came or readMs have passed; zero
    // constants would mean "no limit", so the shortest limit is 1 ms.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = readMs == 0 ? 1 : readMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = writeMs == 0 ? 1 : writeMs;
    return ::SetCommTimeouts(port_, &timeouts);
}

bool Win32CommPort::queues(std::uint32_t& rx, std::uint32_t& tx) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port_, &errors, &status)) return false;
    rx = status.cbInQue;
    tx = status.cbOutQue;
    return true;
}

// Waits for an overlapped call to end; the call's own timeouts bound the wait.
bool Win32CommPort::finish(OVERLAPPED& overlapped, BOOL started, DWORD& transferred) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING) return false;
    return ::GetOverlappedResult(port_, &overlapped, &transferred, TRUE);
}

long Win32CommPort::read(void* buffer, std::uint32_t size) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = io_;
    ::ResetEvent(io_);
    DWORD got = 0;
    const BOOL started = ::ReadFile(port_, buffer, size, &got, &overlapped);
    if (!finish(overlapped, started, got)) return -1;
    return static_cast<long>(got);
}

long Win32CommPort::write(const void* bytes, std::uint32_t size) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = io_;
    ::ResetEvent(io_);
    DWORD sent = 0;
    const BOOL started = ::WriteFile(port_, bytes, size, &sent, &overlapped);
    if (!finish(overlapped, started, sent)) {
        // A write that timed out is no failure: the caller learns how much went.
        return ::GetLastError() == ERROR_SEM_TIMEOUT ? static_cast<long>(sent) : -1;
    }
    return static_cast<long>(sent);
}

bool Win32CommPort::waitForBytes(DWORD timeoutMs) {
    std::uint32_t rx = 0, tx = 0;
    bool ok = queues(rx, tx);
    if (ok && rx == 0) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event_;
        ::ResetEvent(event_);
        DWORD mask = 0;
        if (!::WaitCommEvent(port_, &mask, &overlapped) && ::GetLastError() != ERROR_IO_PENDING) return false;
        const HANDLE events[2] = {event_, wake_};
        if (::WaitForMultipleObjects(2, events, FALSE, timeoutMs) != WAIT_OBJECT_0) ::CancelIoEx(port_, &overlapped);
        DWORD unused = 0;
        // Ended or cancelled: either way the call is over once this returns.
        ::GetOverlappedResult(port_, &overlapped, &unused, TRUE);
        ok = queues(rx, tx);
    }
    ::ResetEvent(wake_);  // whatever woke the caller, it looks at everything again
    return ok;
}

void Win32CommPort::wake() { ::SetEvent(wake_); }

} // namespace k8w::link
