#include "cards/image_json.h"

#include "cards/card.h"
#include "cards/card_json.h"
#include "cards/key_code_text.h"
#include "cards/member_text.h"
#include "common/cp1251.h"

#include <QFile>

#include <cstring>

namespace k8w {

QString ReadImageFile(const QString& fileName, ConfigImage& image) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("cannot read %1").arg(fileName);
    // Checked before reading, so that no large file is read whole.
    if (file.size() != static_cast<qint64>(kImageSize))
        return QStringLiteral("%1 holds %2 bytes; a device image has %3").arg(fileName).arg(file.size()).arg(kImageSize);
    if (file.read(reinterpret_cast<char*>(image.data()), kImageSize) != static_cast<qint64>(kImageSize))
        return QStringLiteral("cannot read %1").arg(fileName);
    if (ImageCrc16(image.data(), kImageSize) != 0)
        return QStringLiteral("%1 fails its checksum; it is not an intact device image").arg(fileName);
    return {};
}

QByteArray DecodeImageJson(const ConfigImage& image) {
    // The image carries card bytes 18-436 as they are and the card number in front.
    Card card{};
    std::memcpy(reinterpret_cast<char*>(&card) + 18, image.data() + 18, kImageKeysOffset - 18);
    setFieldText(card.cardNumber, readTextField(reinterpret_cast<const char*>(image.data()), sizeof card.cardNumber));

    QByteArray out("{");
    AppendCardMembers(out, card, true);
    out += ", \"keys\": [";
    for (int group = 0; group < kKeyGroups; ++group) {
        for (int slot = 0; slot < kKeysPerGroup; ++slot) {
            if (group || slot) out += ", ";
            out += "{\"partition\": " + QByteArray::number(group + 1) + ", \"slot\": " + QByteArray::number(slot + 1) +
                   ", \"code\": ";
            AppendJsonString(out, KeyCodeHexText(image.data() + kImageKeysOffset + 36 * group + 6 * slot));
            out += '}';
        }
    }
    out += "], \"buildDate\": ";
    const std::uint8_t* stamp = image.data() + 12;
    AppendJsonString(out, QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", 2000 + stamp[2], stamp[1], stamp[0],
                                            stamp[3], stamp[4], stamp[5]));
    out += ", \"checksum\": ";
    AppendJsonString(out, ChecksumText(static_cast<std::uint16_t>(image[kImageCrcOffset] | image[kImageCrcOffset + 1] << 8)));
    out += "}\n";
    return out;
}

} // namespace k8w
