#pragma once
#include "common/clock.h"
#include "link/cable_open.h"
#include "link/ftdi_driver.h"
#include "link/prog_log.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace k8w::link {

// Result codes of Start and of the exchanges.
constexpr int kLinkDone = 0;
constexpr int kLinkCableFailure = 1;
constexpr int kLinkStopped = 2;
constexpr int kLinkDeviceFailure = 3;

constexpr std::size_t kLinkBufferSize = 4096;
constexpr std::size_t kPollWindow = 100;

// Pacing of the exchanges, in milliseconds.
constexpr std::uint32_t kHandshakeWaitMs = 200;
constexpr std::uint32_t kQueryWaitMs = 500;  // after "DEVICE" and "READ"
constexpr std::uint32_t kPollWaitMs = 10;
constexpr int kWriteRequestRepeat = 50;      // "WRITE" again after 51 silent polls
constexpr int kWriteBlockPolls = 400;
constexpr int kReadBlockPolls = 200;
constexpr int kVersionAttempts = 4;
constexpr std::uint8_t kMaxReadBlock = 36;   // blocks of 36 or more bytes are ignored

inline const QString kUnknownVersion = QStringLiteral("Н/Д");

// The link object of one write attempt: opens a cable, runs the write
// exchange (handshake, "WRITE", blocks paced by "NEXT", end block, "OK") and
// logs every byte to ProgLog.log in the current directory. One object serves
// exactly one attempt; the exchange runs on the caller's thread and only Stop
// may come from another thread.
class FTDI_Controller {
public:
    explicit FTDI_Controller(FtdiDriver& driver = systemFtdiDriver(), Clock& clock = systemClock());
    virtual ~FTDI_Controller();
    FTDI_Controller(const FTDI_Controller&) = delete;
    FTDI_Controller& operator=(const FTDI_Controller&) = delete;

    // Serial number of the cable to open; empty: the first cable listed.
    void SetCableSerial(const std::string& serial) { cableSerial_ = serial; }
    // Opens and configures the cable: kOpenOk, kOpenFailed or kOpenNoCable.
    // When it succeeds and 0 < length < 4096 the data becomes the data buffer.
    int Open(const std::uint8_t* data, int length);
    // Runs the exchange: 1 at once when no cable is open, else its result.
    int Start();
    // Makes the running exchange end with kLinkStopped at its next test of
    // the running flag. Safe from any thread, also before Start.
    void Stop();

    const std::uint8_t* Data() const { return data_.data(); }
    int DataLength() const { return dataLength_; }
    const QString& VersionText() const { return versionText_; }
    bool IsOpen() const { return handle_ != 0; }
    const DeviceList& DeviceInfoList() const { return deviceList_; }

protected:
    virtual int RunExchange();
    int WriteExchange();
    int ReadExchange();

    // One look at the line: the driver's receive count, and when 0 < count
    // < 100 exactly that many bytes read into the reply buffer (zeros after
    // them) and logged. Returns the driver status; `waiting` gets the count.
    FtStatus PollReply(std::uint32_t& waiting);
    bool ReplyIs(const char* token) const;
    void WriteLog(const QString& text, LogDirection direction);

    bool running() const { return running_.load(std::memory_order_acquire); }

private:
    enum class Compare { Count, StatusOnly };
    // Writes bytes; kLinkDone, or kLinkCableFailure when the call fails or,
    // with Compare::Count, writes short.
    int Send(const std::uint8_t* bytes, std::size_t count, Compare compare);
    int SendToken(const char* token, Compare compare);
    int Handshake();

    FtdiDriver& driver_;
    Clock& clock_;
    DeviceList deviceList_{};
    FtHandle handle_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::array<std::uint8_t, kLinkBufferSize> transmit_{};
    std::array<std::uint8_t, kLinkBufferSize> reply_{};
    std::uint32_t replyLength_ = 0;  // bytes the latest poll read
    ProgLog log_;
    std::uint32_t exchangeStart_ = 0;
    std::array<std::uint8_t, kLinkBufferSize> data_{};
    int dataLength_ = 0;
    QString versionText_ = kUnknownVersion;
    std::string cableSerial_;
};

// The link object of one read attempt: the read exchange (handshake,
// "DEVICE", "READ", blocks on "NEXT" until the end block) fills the data
// buffer and the version text.
class FTDI_ReadCtrl : public FTDI_Controller {
public:
    using FTDI_Controller::FTDI_Controller;

protected:
    int RunExchange() override;
};

} // namespace k8w::link
