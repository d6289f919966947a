#include "link/ftdi_controller.h"

#include "link/link_block.h"

#include <algorithm>
#include <cstring>

namespace k8w::link {

FTDI_Controller::FTDI_Controller(FtdiDriver& driver, Clock& clock)
    : driver_(driver), clock_(clock) {}

FTDI_Controller::~FTDI_Controller() {
    if (handle_ != 0) driver_.close(handle_);
}

int FTDI_Controller::Open(const std::uint8_t* data, int length) {
    if (handle_ != 0) {  // opened before: that cable is let go first
        driver_.close(handle_);
        handle_ = 0;
    }
    const int result = OpenCable(driver_, cableSerial_, CableTiming::LatencyTimer, deviceList_, handle_);
    if (result != kOpenOk) return result;
    if (data != nullptr && length > 0 && length < static_cast<int>(kLinkBufferSize)) {
        std::memcpy(data_.data(), data, static_cast<std::size_t>(length));
        dataLength_ = length;
    }
    return kOpenOk;
}

int FTDI_Controller::Start() {
    if (handle_ == 0) return kLinkCableFailure;
    // A stop that came before the exchange began is not forgotten: the
    // attempt ends as stopped without sending anything.
    if (stopRequested_.load(std::memory_order_acquire)) return kLinkStopped;
    running_.store(true, std::memory_order_release);
    if (stopRequested_.load(std::memory_order_acquire)) running_.store(false, std::memory_order_release);
    return RunExchange();
}

void FTDI_Controller::Stop() {
    stopRequested_.store(true, std::memory_order_release);
    running_.store(false, std::memory_order_release);
}

int FTDI_Controller::RunExchange() {
    std::memcpy(transmit_.data(), data_.data(), static_cast<std::size_t>(dataLength_));
    return WriteExchange();
}

int FTDI_ReadCtrl::RunExchange() { return ReadExchange(); }

void FTDI_Controller::WriteLog(const QString& text, LogDirection direction) {
    log_.write(clock_.tickMs() - exchangeStart_, text, direction);
}

FtStatus FTDI_Controller::PollReply(std::uint32_t& waiting) {
    std::fill_n(reply_.begin(), kPollWindow, std::uint8_t{0});
    replyLength_ = 0;
    waiting = 0;
    std::uint32_t txQueue = 0;
    std::uint32_t events = 0;
    FtStatus status = driver_.getStatus(handle_, &waiting, &txQueue, &events);
    if (status == kFtOk && waiting > 0 && waiting < kPollWindow) {
        std::uint32_t got = 0;
        status = driver_.read(handle_, reply_.data(), waiting, &got);
        replyLength_ = std::min<std::uint32_t>(got, waiting);
        WriteLog(HexDump(reply_.data(), replyLength_), LogDirection::Rx);
    }
    return status;
}

bool FTDI_Controller::ReplyIs(const char* token) const { return SameReply(reply_.data(), token); }

int FTDI_Controller::Send(const std::uint8_t* bytes, std::size_t count, Compare compare) {
    std::uint32_t written = 0;
    if (driver_.write(handle_, bytes, static_cast<std::uint32_t>(count), &written) != kFtOk)
        return kLinkCableFailure;
    if (compare == Compare::Count && written < count) return kLinkCableFailure;
    return kLinkDone;
}

int FTDI_Controller::SendToken(const char* token, Compare compare) {
    const int result =
        Send(reinterpret_cast<const std::uint8_t*>(token), std::strlen(token), compare);
    if (result == kLinkDone) WriteLog(QString::fromLatin1(token), LogDirection::Tx);
    return result;
}

int FTDI_Controller::Handshake() {
    while (running()) {
        if (SendToken("PROG_K8W", Compare::StatusOnly) != kLinkDone) return kLinkCableFailure;
        clock_.sleepMs(kHandshakeWaitMs);
        std::uint32_t waiting = 0;
        if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
        if (ReplyIs("ERROR")) return kLinkDeviceFailure;
        if (ReplyIs("READY")) break;
    }
    return running() ? kLinkDone : kLinkStopped;
}

int FTDI_Controller::WriteExchange() {
    exchangeStart_ = clock_.tickMs();
    WriteLog(QStringLiteral("==== START PROGRAMMING ===="), LogDirection::Tx);
    if (const int result = Handshake(); result != kLinkDone) return result;

    // Write request: "WRITE" again after every 51 polls without an answer.
    bool pending = false;
    int c = 0;
    while (running()) {
        if (c == 0 && SendToken("WRITE", Compare::Count) != kLinkDone) return kLinkCableFailure;
        clock_.sleepMs(kPollWaitMs);
        if (++c > kWriteRequestRepeat) c = 0;
        std::uint32_t waiting = 0;
        if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
        if (ReplyIs("ERROR")) return kLinkDeviceFailure;
        if (ReplyIs("READY")) break;
        if (ReplyIs("READYNEXT")) {
            pending = true;
            break;
        }
    }
    if (!running()) return kLinkStopped;

    // The first block always carries 32 bytes, whatever the data length.
    std::vector<std::uint8_t> block = MakeBlock(transmit_.data(), kBlockData);
    std::size_t position = 0;
    int w = 0;
    while (running()) {
        if (pending) {
            if (Send(block.data(), block.size(), Compare::Count) != kLinkDone)
                return kLinkCableFailure;
            WriteLog(HexDump(block.data(), block.size()), LogDirection::Tx);
            position += kBlockData;
            pending = false;
            w = 0;
        } else {
            std::uint32_t waiting = 0;
            if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
            if (ReplyIs("NEXT")) {
                const std::size_t length = static_cast<std::size_t>(dataLength_);
                if (position < length)
                    block = MakeBlock(transmit_.data() + position, std::min(kBlockData, length - position));
                else
                    block.assign(std::begin(kEndBlock), std::end(kEndBlock));
                pending = true;
            } else if (ReplyIs("OK")) {
                return kLinkDone;
            } else if (ReplyIs("ERROR")) {
                return kLinkDeviceFailure;
            }
        }
        if (!pending) {
            clock_.sleepMs(kPollWaitMs);
            if (++w > kWriteBlockPolls) return kLinkDeviceFailure;
        }
    }
    return kLinkStopped;
}

int FTDI_Controller::ReadExchange() {
    exchangeStart_ = clock_.tickMs();
    WriteLog(QStringLiteral("==== START READING ===="), LogDirection::Tx);
    versionText_ = kUnknownVersion;
    if (const int result = Handshake(); result != kLinkDone) return result;

    // Version query: ':' 3 a b c checksum, exactly 6 bytes.
    for (int attempt = 0; attempt < kVersionAttempts && running(); ++attempt) {
        if (SendToken("DEVICE", Compare::StatusOnly) != kLinkDone) return kLinkCableFailure;
        clock_.sleepMs(kQueryWaitMs);
        std::uint32_t waiting = 0;
        if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
        const std::uint8_t* r = reply_.data();
        if (!ReplyIs("ERROR") && waiting == 6 && r[0] == kBlockStart && r[1] == 3 &&
            BlockChecksum(r, 5) == r[5]) {
            versionText_ = QStringLiteral("%1.%2.%3").arg(r[2]).arg(r[3]).arg(r[4]);
            break;
        }
    }

    while (running()) {
        if (SendToken("READ", Compare::StatusOnly) != kLinkDone) return kLinkCableFailure;
        clock_.sleepMs(kQueryWaitMs);
        std::uint32_t waiting = 0;
        if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
        if (ReplyIs("ERROR")) return kLinkDeviceFailure;
        if (ReplyIs("READY")) break;
    }
    if (!running()) return kLinkStopped;

    static constexpr std::uint8_t kNext[] = {'N', 'E', 'X', 'T'};
    std::size_t received = 0;
    bool pending = true;
    bool finished = false;
    bool failed = false;
    int w = 0;
    while (running() && !finished && !failed) {
        if (pending) {
            if (Send(kNext, sizeof kNext, Compare::Count) != kLinkDone) return kLinkCableFailure;
            WriteLog(HexDump(kNext, sizeof kNext), LogDirection::Tx);
            pending = false;
            w = 0;
        } else {
            std::uint32_t waiting = 0;
            if (PollReply(waiting) != kFtOk) return kLinkCableFailure;
            const std::uint8_t* r = reply_.data();
            if (r[0] == kBlockStart) {
                const std::size_t n = r[1];
                if (n == 0 && r[2] == 0xC6 && waiting == 3) {
                    finished = true;
                } else if (n < kMaxReadBlock) {
                    // A block is taken only when all its bytes were read:
                    // the zeros behind a cut-off block are not the device's data.
                    if (replyLength_ < n + kBlockOverhead || BlockChecksum(r, n + 2) != r[n + 2]) {
                        failed = true;
                    } else {
                        pending = true;
                        if (received + n > kLinkBufferSize) {
                            failed = true;
                        } else {
                            std::memcpy(data_.data() + received, r + 2, n);
                            received += n;
                        }
                    }
                }
            }
        }
        if (!pending) {
            clock_.sleepMs(kPollWaitMs);
            if (++w > kReadBlockPolls) failed = true;
        }
    }
    if (!running()) return kLinkStopped;
    if (failed) {
        Send(reinterpret_cast<const std::uint8_t*>("ERROR"), 5, Compare::StatusOnly);
        return kLinkDeviceFailure;
    }
    if (!finished) return kLinkStopped;
    Send(reinterpret_cast<const std::uint8_t*>("OK"), 2, Compare::StatusOnly);
    dataLength_ = static_cast<int>(received);
    return kLinkDone;
}

} // namespace k8w::link
