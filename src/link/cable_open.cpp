#include "link/cable_open.h"

namespace k8w::link {

int OpenCable(FtdiDriver& driver, const std::string& serial, CableTiming timing, DeviceList& list,
              FtHandle& handle) {
    handle = 0;
    std::uint32_t count = 0;
    if (driver.createDeviceInfoList(&count) != kFtOk || count == 0) return kOpenNoCable;

    std::uint32_t listed = 0;
    if (driver.getDeviceInfoList(list.data(), static_cast<std::uint32_t>(list.size()), &listed) !=
        kFtOk)
        return kOpenFailed;

    // The first entry's serial, kept zero-terminated whatever the driver wrote.
    std::string chosen = serial;
    if (chosen.empty()) {
        const FtDeviceInfo& first = list[0];
        std::size_t length = 0;
        while (length < sizeof first.serialNumber && first.serialNumber[length] != '\0') ++length;
        chosen.assign(first.serialNumber, length);
    }

    FtHandle opened = 0;
    if (driver.openEx(chosen.c_str(), kFtOpenBySerialNumber, &opened) != kFtOk || opened == 0)
        return kOpenFailed;

    bool configured = driver.setBaudRate(opened, kCableBaudRate) == kFtOk;
    configured = driver.setDataCharacteristics(opened, kFtBits8, kFtStopBits1, kFtParityNone) ==
                     kFtOk && configured;
    configured = driver.setFlowControl(opened, kFtFlowNone, 0, 0) == kFtOk && configured;
    if (timing == CableTiming::LatencyTimer)
        configured = driver.setLatencyTimer(opened, kCableLatencyMs) == kFtOk && configured;
    else
        configured = driver.setTimeouts(opened, kControlReadTimeoutMs, kControlWriteTimeoutMs) ==
                         kFtOk && configured;
    if (!configured) {
        driver.close(opened);
        return kOpenFailed;
    }
    handle = opened;
    return kOpenOk;
}

} // namespace k8w::link
