#pragma once
#include "link/ftdi_driver.h"

#include <array>
#include <string>

namespace k8w::link {

// Results of opening a cable.
constexpr int kOpenOk = 0;
constexpr int kOpenFailed = 1;
constexpr int kOpenNoCable = 2;

using DeviceList = std::array<FtDeviceInfo, kDeviceListSize>;

// How the line is timed after 115200 8N1 without flow control: the
// programming link sets the latency timer to 100 ms, the control link sets
// read and write timeouts of 50 and 20 ms instead.
enum class CableTiming { LatencyTimer, Timeouts };

constexpr std::uint32_t kCableBaudRate = 115200;
constexpr std::uint8_t kCableLatencyMs = 100;
constexpr std::uint32_t kControlReadTimeoutMs = 50;
constexpr std::uint32_t kControlWriteTimeoutMs = 20;

// The opening sequence shared by every link: count the cables (none, or the
// count failing: kOpenNoCable), read the list into `list`, open the cable
// with `serial` (empty: the first one listed), and configure it. Every
// configuration call is made; if any fails the cable is closed again and
// `handle` stays 0. Returns kOpenOk with `handle` set, or a failure code.
int OpenCable(FtdiDriver& driver, const std::string& serial, CableTiming timing, DeviceList& list,
              FtHandle& handle);

} // namespace k8w::link
