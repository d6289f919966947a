#pragma once
// A device image read back from a file and shown in the cards' JSON form.
#include "cards/config_image.h"

#include <QByteArray>
#include <QString>

namespace k8w {

// Reads a device image as `k8w-cli read --out` writes it. Empty on success;
// otherwise why it is refused: unreadable, not 585 bytes, or a checksum
// that does not check.
QString ReadImageFile(const QString& fileName, ConfigImage& image);

// The image as one JSON object: its configuration members and cardNumber
// under the card's names, "keys" with the code of every slot of the four
// key groups, "buildDate" (YYYY-MM-DDTHH:MM:SS) and "checksum" (four
// uppercase hexadecimal digits).
QByteArray DecodeImageJson(const ConfigImage& image);

} // namespace k8w
