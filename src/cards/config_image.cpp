#include "cards/config_image.h"

#include "cards/card.h"

#include <QDateTime>

#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

namespace k8w {
namespace {

std::mutex randomMutex;
std::minstd_rand& randomEngine() {
    static std::minstd_rand engine(static_cast<unsigned>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    return engine;
}

std::uint8_t randomByte() {
    std::lock_guard lock(randomMutex);
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 254)(randomEngine()));
}

} // namespace

std::uint16_t ImageCrc16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool low = ((crc ^ b) & 1) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (low) crc ^= 0x8408;
            b = static_cast<std::uint8_t>(b >> 1);
        }
    }
    return crc;
}

int BuildConfigImageAt(const Card& card, const QDateTime& moment, std::uint8_t random1,
                       std::uint8_t random2, ConfigImage& image, std::uint16_t& crc) {
    if (card.version != 0) return 0;
    ConfigImage out{};
    std::memcpy(out.data(), &card, kImageSize);

    std::memset(out.data(), 0, 11);
    const std::size_t numberLength = strnlen(card.cardNumber, sizeof card.cardNumber - 1);
    std::memcpy(out.data(), card.cardNumber, numberLength);

    const QDate date = moment.date();
    const QTime time = moment.time();
    out[12] = static_cast<std::uint8_t>(date.day());
    out[13] = static_cast<std::uint8_t>(date.month());
    out[14] = static_cast<std::uint8_t>((date.year() & 0xFF) + 48);
    out[15] = static_cast<std::uint8_t>(time.hour());
    out[16] = static_cast<std::uint8_t>(time.minute());
    out[17] = static_cast<std::uint8_t>(time.second());

    std::memset(out.data() + kImageKeysOffset, 0, 144);
    for (int g = 0; g < kKeyGroups; ++g)
        for (int e = 0; e < kKeysPerGroup; ++e)
            std::memcpy(out.data() + kImageKeysOffset + 36 * g + 6 * e, card.keys[g][e].keyCode, 6);

    out[581] = random1;
    out[582] = random2;
    const std::uint16_t sum = ImageCrc16(out.data(), kImageCrcOffset);
    out[583] = static_cast<std::uint8_t>(sum & 0xFF);
    out[584] = static_cast<std::uint8_t>(sum >> 8);
    image = out;
    crc = sum;
    return static_cast<int>(kImageSize);
}

int BuildConfigImage(const Card& card, ConfigImage& image, std::uint16_t& crc) {
    const std::uint8_t r1 = randomByte();
    const std::uint8_t r2 = randomByte();
    return BuildConfigImageAt(card, QDateTime::currentDateTime(), r1, r2, image, crc);
}

QString ChecksumText(std::uint16_t crc) {
    return QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper();
}

void ReseedImageRandom() {
    std::lock_guard lock(randomMutex);
    randomEngine().seed(static_cast<unsigned>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

} // namespace k8w
