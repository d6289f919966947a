#pragma once
#include "sim/frame_splitter.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace k8w::sim {

// Where in the programming protocol the device is answering.
enum class Phase {
    Handshake,     // reply to "PROG_K8W": "READY"
    WriteRequest,  // reply to "WRITE": "READY" (then "NEXT") or "READYNEXT"
    WriteBlock,    // reply to data block k of a write: "NEXT"
    WriteEnd,      // reply to the end block of a write: "OK"
    Version,       // reply to "DEVICE": ':' 3 a b c checksum
    ReadRequest,   // reply to "READ": "READY"
    ReadBlock,     // reply to the k-th "NEXT" of a read: block k, or the end block
    // The control protocol, entered with "PROG_K8W_CTRL":
    CtrlHandshake,  // reply to "PROG_K8W_CTRL": "READY"
    CtrlStatus,     // reply to a status poll (command 0x0C)
    CtrlOutputs,    // reply to a set-outputs command (0x0D)
    CtrlKey,        // reply to a read-key command (0x03)
};

enum class FaultKind {
    Error,     // "ERROR" instead of the reply
    Silence,   // no reply at all
    Replace,   // `bytes` instead of the reply
    Corrupt,   // the reply block with a wrong checksum
    Oversize,  // a valid block of 36 data bytes instead of the reply block
    Delay,     // the reply `delayMs` later than usual
    Trickle,   // the reply one byte at a time, `gapMs` apart
};

struct Fault {
    Fault(Phase phase_, FaultKind kind_, int block_ = -1, std::vector<std::uint8_t> bytes_ = {},
          std::uint32_t delayMs_ = 0, int times_ = -1)
        : phase(phase_), kind(kind_), block(block_), bytes(std::move(bytes_)), delayMs(delayMs_),
          times(times_) {}

    Phase phase = Phase::Handshake;
    FaultKind kind = FaultKind::Error;
    int block = -1;                   // block phases: only block k; -1 every one
    std::vector<std::uint8_t> bytes;  // Replace
    std::uint32_t delayMs = 0;        // added to the reply's delay, whatever the kind
    int times = -1;                   // replies affected; -1 for ever
    std::uint32_t gapMs = 5;          // Trickle
};

// What the device's inputs show in the control protocol: the five loop
// readings in ohms, mains power and the case cover.
struct ControlInputs {
    std::array<std::uint16_t, 5> loops{4700, 4700, 4700, 4700, 4700};
    bool power = true;
    bool cover = true;
};

// A Touch Memory key code as the device reports it.
using DeviceKeyCode = std::array<std::uint8_t, 8>;

// Bytes of the control protocol as the device sees them.
constexpr std::uint8_t kCommandStart = 0x51;
constexpr std::uint8_t kReplyStart = 0xAE;
constexpr std::uint8_t kStatusCode = 0x0C;
constexpr std::uint8_t kOutputsCode = 0x0D;
constexpr std::uint8_t kKeyCode = 0x03;
constexpr std::uint8_t kErrorCode = 0xFF;
constexpr std::uint8_t kBadPacketError = 0;   // header, check byte or length wrong
constexpr std::uint8_t kUnknownCodeError = 1;

struct DeviceSettings {
    bool readyNext = false;                        // "READYNEXT" to "WRITE"
    std::array<std::uint8_t, 3> version{1, 0, 0};  // the version block's a, b, c
    std::uint32_t replyDelayMs = 1;                // every reply, after the request
    std::uint32_t firstNextDelayMs = 20;           // "READY" mode: the first "NEXT" after "READY"
};

// A K8W device on the programming header. The line (bytes in, timed bytes
// out) is kept apart from the protocol: the splitter cuts the incoming
// stream into tokens and blocks, the protocol answers each one, and the
// answers wait in an outbox until their time has come.
class SimDevice {
public:
    explicit SimDevice(DeviceSettings settings = {});

    // The line. `nowMs` is the time on the clock the device shares with the
    // line's other end.
    void receive(const std::uint8_t* bytes, std::size_t count, std::uint32_t nowMs);
    std::size_t available(std::uint32_t nowMs) const;
    std::size_t read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t nowMs);
    // When the next reply falls due, or -1 when none is waiting.
    std::int64_t nextDueMs() const;
    // When the first reply byte not yet due at `nowMs` falls due, or -1.
    std::int64_t nextDueAfterMs(std::uint32_t nowMs) const;

    void setSettings(const DeviceSettings& settings);
    void addFault(Fault fault);
    void clearFaults();

    void setStoredImage(std::vector<std::uint8_t> image);
    std::vector<std::uint8_t> storedImage() const;
    int imagesStored() const;
    // Called after each image the device stores (outside the device's lock).
    void setImageStoredListener(std::function<void(const std::vector<std::uint8_t>&)> listener);

    // Every token and block the device took from the line, in order: tokens
    // as their text, blocks, command packets and garbage as hexadecimal dumps.
    std::vector<std::string> received() const;

    // The control protocol. Inputs and a key may change at any time.
    void setInputs(const ControlInputs& inputs);
    ControlInputs inputs() const;
    void setLoop(int loop, std::uint16_t ohms);  // loop 1-5
    // A key touched to the reader: the status reports one waiting until a
    // read-key command takes it.
    void presentKey(const DeviceKeyCode& code);
    bool keyWaiting() const;
    // The output bits as the host last set them (bit 7: SIM 2 active).
    std::uint8_t outputs() const;

private:
    enum class State { Idle, Programming, WriteBlocks, ReadBlocks, Control };
    struct Chunk {
        std::uint32_t dueMs;
        std::vector<std::uint8_t> bytes;
    };

    void onFrame(const Frame& frame, std::uint32_t nowMs, bool& stored);
    void onToken(const std::string& token, std::uint32_t nowMs);
    void onBlock(const std::vector<std::uint8_t>& block, std::uint32_t nowMs, bool& stored);
    void enterControl(bool on);
    void onPacket(const std::vector<std::uint8_t>& packet, std::uint32_t nowMs);
    std::vector<std::uint8_t> statusPayload() const;
    // Sends `reply` as the answer of `phase` (block k), applying the faults;
    // returns what went out (empty: nothing).
    std::vector<std::uint8_t> answer(Phase phase, int block, std::vector<std::uint8_t> reply, std::uint32_t nowMs,
                std::uint32_t extraDelayMs = 0);
    void queue(std::vector<std::uint8_t> bytes, std::uint32_t dueMs);

    mutable std::mutex mutex_;
    DeviceSettings settings_;
    FrameSplitter splitter_;
    std::vector<Fault> faults_;
    std::deque<Chunk> outbox_;
    std::uint32_t lastDueMs_ = 0;
    State state_ = State::Idle;
    std::vector<std::uint8_t> incoming_;  // image being written
    int writeBlock_ = 0;
    int readBlock_ = 0;
    std::vector<std::uint8_t> stored_;
    int imagesStored_ = 0;
    std::vector<std::string> received_;
    std::function<void(const std::vector<std::uint8_t>&)> imageStored_;
    ControlInputs inputs_;
    std::uint8_t outputs_ = 0;
    DeviceKeyCode key_{};
    bool keyWaiting_ = false;
};

// A reply packet of the control protocol: 0xAE, code, payload, check byte.
std::vector<std::uint8_t> controlReply(std::uint8_t code, const std::vector<std::uint8_t>& payload = {});

std::vector<std::uint8_t> bytesOf(const std::string& text);

} // namespace k8w::sim
