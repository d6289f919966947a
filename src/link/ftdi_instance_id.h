#pragma once
#include <QString>

namespace k8w::link {

// The serial number of an FTDI cable (USB vendor 0x0403) from the device
// instance IDs Windows gives its COM port: the port's own ID and that of
// its parent. The USB device's ID ends in its serial number
// ("USB\VID_0403&PID_6001\A6008ISP"); FTDI's bus driver puts the port below
// it ("FTDIBUS\VID_0403+PID_6001+A6008ISPA\0000"). Empty when neither ID is
// an FTDI USB device with a serial number.
QString FtdiSerialFromInstanceIds(const QString& portId, const QString& parentId);

} // namespace k8w::link
