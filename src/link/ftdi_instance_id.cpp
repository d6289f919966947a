#include "link/ftdi_instance_id.h"

#include <QStringList>

namespace k8w::link {
namespace {

// "USB\VID_0403&PID_6001\SERIAL": the serial, or empty for another vendor,
// another bus, or an ID Windows made up for a device without a serial (it
// holds '&', as in "5&2A8C3E1&0&2").
QString serialOfUsbId(const QString& id) {
    const QStringList parts = id.split(QLatin1Char('\\'));
    if (parts.size() != 3 || parts[0].compare(QLatin1String("USB"), Qt::CaseInsensitive) != 0) return {};
    if (!parts[1].startsWith(QLatin1String("VID_0403&"), Qt::CaseInsensitive)) return {};
    if (parts[2].isEmpty() || parts[2].contains(QLatin1Char('&'))) return {};
    return parts[2];
}

} // namespace

QString FtdiSerialFromInstanceIds(const QString& portId, const QString& parentId) {
    if (const QString own = serialOfUsbId(portId); !own.isEmpty()) return own;
    if (!portId.startsWith(QLatin1String("FTDIBUS\\"), Qt::CaseInsensitive)) return {};
    return serialOfUsbId(parentId);
}

} // namespace k8w::link
