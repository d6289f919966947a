#include "link/win32_cable_list.h"

#include "link/ftdi_instance_id.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

namespace k8w::link {
namespace {

QString instanceId(DEVINST device) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Device_IDW(device, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return {};
    return QString::fromWCharArray(id);
}

QString parentId(DEVINST device) {
    DEVINST parent = 0;
    return ::CM_Get_Parent(&parent, device, 0) == CR_SUCCESS ? instanceId(parent) : QString();
}

// The port's name ("COM5") from the device's registry key.
QString portName(HDEVINFO devices, SP_DEVINFO_DATA& data) {
    const HKEY key = ::SetupDiOpenDevRegKey(devices, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof name[0];
    DWORD type = 0;
    const LONG result = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? QString::fromWCharArray(name) : QString();
}

} // namespace

std::vector<NamedPort> ListFtdiComPorts() {
    std::vector<NamedPort> ports;
    const HDEVINFO devices = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &data); ++i) {
        const QString serial = FtdiSerialFromInstanceIds(instanceId(data.DevInst), parentId(data.DevInst));
        const QString port = serial.isEmpty() ? QString() : portName(devices, data);
        if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) ports.push_back({serial, port});
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return ports;
}

} // namespace k8w::link
