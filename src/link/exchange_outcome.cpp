#include "link/exchange_outcome.h"

#include "cards/config_image.h"
#include "link/cable_open.h"
#include "link/ftdi_controller.h"

namespace k8w::link {

QString OpenFailureReason(int openResult) {
    return openResult == kOpenNoCable
               ? QStringLiteral("Кабель FTDI не найден.")
               : QStringLiteral("Драйвер FTDI не отвечает.\nПроверьте наличие драйвера и перезапустите программу.");
}

QString StartFailureReason(Exchange exchange, int startResult) {
    if (startResult == kLinkDeviceFailure)
        return exchange == Exchange::Write ? QStringLiteral("УОО вернул ошибку при программировании")
                                           : QStringLiteral("УОО вернул ошибку при считывании");
    return QStringLiteral("Ошибка при обращении к устройству FTDI.");
}

bool IsValidReadImage(const std::uint8_t* bytes, int length) {
    return length >= 0 && ImageCrc16(bytes, static_cast<std::size_t>(length)) == 0 &&
           length == static_cast<int>(kImageSize);
}

} // namespace k8w::link
