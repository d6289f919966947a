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
};

enum class FaultKind {
    Error,     // "ERROR" instead of the reply
    Silence,   // no reply at all
    Replace,   // `bytes` instead of the reply
    Corrupt,   // the reply block with a wrong checksum
    Oversize,  // a valid block of 36 data bytes instead of the reply block
    Delay,     // the reply `delayMs` later than usual
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
};

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

    void setSettings(const DeviceSettings& settings);
    void addFault(Fault fault);
    void clearFaults();

    void setStoredImage(std::vector<std::uint8_t> image);
    std::vector<std::uint8_t> storedImage() const;
    int imagesStored() const;
    // Called after each image the device stores (outside the device's lock).
    void setImageStoredListener(std::function<void(const std::vector<std::uint8_t>&)> listener);

    // Every token and block the device took from the line, in order: tokens
    // as their text, blocks and garbage as hexadecimal dumps.
    std::vector<std::string> received() const;

private:
    enum class State { Idle, Programming, WriteBlocks, ReadBlocks };
    struct Chunk {
        std::uint32_t dueMs;
        std::vector<std::uint8_t> bytes;
    };

    void onFrame(const Frame& frame, std::uint32_t nowMs, bool& stored);
    void onToken(const std::string& token, std::uint32_t nowMs);
    void onBlock(const std::vector<std::uint8_t>& block, std::uint32_t nowMs, bool& stored);
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
};

std::vector<std::uint8_t> bytesOf(const std::string& text);

} // namespace k8w::sim
