#include "link/serial_ports.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace k8w::link {

FtStatus CopyListedPorts(const std::vector<NamedPort>& listed, FtDeviceInfo* list, std::uint32_t capacity,
                         std::uint32_t* count) {
    if (!list || !count) return kFtInvalidParameter;
    const std::uint32_t n = std::min<std::uint32_t>(capacity, static_cast<std::uint32_t>(listed.size()));
    for (std::uint32_t i = 0; i < n; ++i) {
        FtDeviceInfo entry{};
        const QByteArray serial = listed[i].serial.toLatin1().left(kSerialNumberSize);
        std::memcpy(entry.serialNumber, serial.constData(), static_cast<std::size_t>(serial.size()));
        const QByteArray where = listed[i].path.toLocal8Bit().left(sizeof entry.description - 1);
        std::memcpy(entry.description, where.constData(), static_cast<std::size_t>(where.size()));
        entry.locId = i;
        list[i] = entry;
    }
    *count = n;
    return kFtOk;
}

} // namespace k8w::link
