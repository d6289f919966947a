#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class QDateTime;
class QString;

namespace k8w {

struct Card;

constexpr std::size_t kImageSize = 585;
constexpr std::size_t kImageCrcOffset = 583;
constexpr std::size_t kImageKeysOffset = 437;
using ConfigImage = std::array<std::uint8_t, kImageSize>;

// CRC-16/KERMIT: "123456789" gives 0x2189. Over a whole intact image it gives 0.
std::uint16_t ImageCrc16(const std::uint8_t* bytes, std::size_t count);

// Builds the device image of a card stamped with the current local time and
// two random bytes. Returns 585, or 0 (image and crc untouched) when the
// card's version is not 0.
int BuildConfigImage(const Card& card, ConfigImage& image, std::uint16_t& crc);

// The same with the build moment and the two random bytes given.
int BuildConfigImageAt(const Card& card, const QDateTime& moment, std::uint8_t random1,
                       std::uint8_t random2, ConfigImage& image, std::uint16_t& crc);

// A checksum (programming result ID) as the program shows it: four
// uppercase hexadecimal digits.
QString ChecksumText(std::uint16_t crc);

// Reseeds the generator of the random bytes from the clock; done each time
// programming is started.
void ReseedImageRandom();

} // namespace k8w
