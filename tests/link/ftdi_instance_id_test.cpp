// The serial number of an FTDI cable read from the instance IDs Windows
// gives its COM port and the port's parent.
#include "link/ftdi_instance_id.h"

#include <gtest/gtest.h>

namespace k8w::link {
namespace {

struct Case {
    const char* what;
    const char* portId;
    const char* parentId;
    const char* serial;
};

const Case kCases[] = {
    {"FTDI's bus driver below the USB device", "FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000",
     "USB\\VID_0403&PID_6001\\A6008ISP", "A6008ISP"},
    {"the port on the USB device itself", "USB\\VID_0403&PID_6015\\DK0ABCDE", "USB\\ROOT_HUB30\\4&1A2B&0&0",
     "DK0ABCDE"},
    {"lower-case letters as a driver may give them", "ftdibus\\vid_0403+pid_6001+ft1xyz9a\\0000",
     "usb\\vid_0403&pid_6001\\FT1XYZ9", "FT1XYZ9"},
    {"another vendor's adapter", "USB\\VID_067B&PID_2303\\5&2A8C3E1&0&2", "USB\\ROOT_HUB30\\4&1A2B&0&0", ""},
    {"a chip without a serial number: Windows makes up an ID", "FTDIBUS\\VID_0403+PID_6001+5&1A&0&1\\0000",
     "USB\\VID_0403&PID_6001\\5&2A8C3E1&0&2", ""},
    {"a port on the mainboard", "ACPI\\PNP0501\\1", "ACPI\\PNP0A03\\0", ""},
    {"an FTDI parent below a port of another driver", "BTHENUM\\{00001101}\\7&1", "USB\\VID_0403&PID_6001\\A6008ISP",
     ""},
    {"no IDs", "", "", ""},
};

TEST(FtdiInstanceId, SerialNumberOfTheCableOrNone) {
    for (const Case& c : kCases)
        EXPECT_EQ(FtdiSerialFromInstanceIds(QString::fromLatin1(c.portId), QString::fromLatin1(c.parentId)),
                  QString::fromLatin1(c.serial))
            << c.what;
}

} // namespace
} // namespace k8w::link
