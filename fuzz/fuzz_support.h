#pragma once
// What every fuzz target shares: the checks that stop a run on a broken
// promise, and a scratch folder for the files the code under test writes.
#include <QString>

#include <cstddef>
#include <cstdint>

namespace k8w::fuzz {

// Ends the run (a finding for libFuzzer) when a promise of the code does not hold.
void require(bool holds, const char* what);

// True when K8W_FUZZ_TRACE is set: the targets then print what one input did
// (for looking at a seed or a reproducer by hand).
bool tracing();

// Once per process: the CP1251 codec must be there, or every text would
// read empty and the targets would test nothing.
void requireCodec();

// A folder of the process's own, removed when it ends; made the current
// directory, where the programming log goes. `logToNull` makes ProgLog.log a
// link to /dev/null, so an exchange logs at full speed without filling a disk.
QString enterScratchFolder(bool logToNull);

// Takes bytes from the front of the fuzz input.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t left() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    // The next byte, or 0 when none is left.
    std::uint8_t byte();
    // Up to `count` bytes; `taken` gets how many.
    const std::uint8_t* take(std::size_t count, std::size_t& taken);

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace k8w::fuzz
