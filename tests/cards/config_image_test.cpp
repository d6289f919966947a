#include "cards/card.h"
#include "cards/config_image.h"
#include "common/cp1251.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace k8w {
namespace {

const QDateTime kMoment(QDate(2026, 3, 5), QTime(14, 7, 9));

Card patternedCard() {
    Card card{};
    auto* raw = reinterpret_cast<std::uint8_t*>(&card);
    for (std::size_t i = 0; i < sizeof card; ++i) raw[i] = static_cast<std::uint8_t>(i * 13 + 5);
    card.version = 0;
    setFieldText(card.cardNumber, QStringLiteral("12"));
    return card;
}

TEST(ImageCrc16, MatchesTheKermitCheckValues) {
    const char* digits = "123456789";
    EXPECT_EQ(ImageCrc16(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x2189);
    const char* abc = "abc";
    EXPECT_EQ(ImageCrc16(reinterpret_cast<const std::uint8_t*>(abc), 3), 0x58E9);
    EXPECT_EQ(ImageCrc16(nullptr, 0), 0);
}

TEST(ConfigImage, LaysOutNumberStampSettingsKeysRandomBytesAndChecksum) {
    Card card = patternedCard();
    card.keys[3][5].keyCode[0] = 0xAB;
    card.keys[3][5].keyCode[5] = 0xCD;
    card.keys[1][0].state = 0;  // codes are copied whatever the state
    ConfigImage image{};
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(card, kMoment, 17, 254, image, crc), 585);

    EXPECT_EQ(image[0], 0x31);
    EXPECT_EQ(image[1], 0x32);
    for (int i = 2; i < 11; ++i) EXPECT_EQ(image[i], 0) << i;
    EXPECT_EQ(image[11], reinterpret_cast<const std::uint8_t*>(&card)[11]);
    const std::uint8_t stamp[6] = {5, 3, 26, 14, 7, 9};
    EXPECT_EQ(std::memcmp(image.data() + 12, stamp, 6), 0);
    EXPECT_EQ(std::memcmp(image.data() + 18, reinterpret_cast<const std::uint8_t*>(&card) + 18, 419), 0);
    for (int g = 0; g < 4; ++g)
        for (int e = 0; e < 6; ++e)
            EXPECT_EQ(std::memcmp(image.data() + 437 + 36 * g + 6 * e, card.keys[g][e].keyCode, 6), 0)
                << g << "," << e;
    EXPECT_EQ(image[437 + 36 * 3 + 6 * 5], 0xAB);
    EXPECT_EQ(image[580], 0xCD);
    EXPECT_EQ(image[581], 17);
    EXPECT_EQ(image[582], 254);
    EXPECT_EQ(crc, ImageCrc16(image.data(), 583));
    EXPECT_EQ(image[583], crc & 0xFF);
    EXPECT_EQ(image[584], crc >> 8);
    EXPECT_EQ(ImageCrc16(image.data(), 585), 0);
}

TEST(ConfigImage, EmptyKeyBlockGivesZeroKeyCodes) {
    Card card{};
    ConfigImage image{};
    std::uint16_t crc = 0;
    ASSERT_EQ(BuildConfigImageAt(card, kMoment, 0, 0, image, crc), 585);
    for (int i = 437; i < 581; ++i) EXPECT_EQ(image[i], 0) << i;
}

TEST(ConfigImage, YearByteIsYearMinus2000) {
    Card card{};
    ConfigImage image{};
    std::uint16_t crc = 0;
    BuildConfigImageAt(card, QDateTime(QDate(2000, 1, 1), QTime(0, 0)), 0, 0, image, crc);
    EXPECT_EQ(image[14], 0);
    BuildConfigImageAt(card, QDateTime(QDate(2255, 12, 31), QTime(23, 59, 59)), 0, 0, image, crc);
    EXPECT_EQ(image[14], 255);
}

TEST(ConfigImage, OtherVersionBuildsNothingAndLeavesOutputsAlone) {
    Card card = patternedCard();
    card.version = 1;
    ConfigImage image{};
    image[0] = 0x77;
    std::uint16_t crc = 0x1234;
    EXPECT_EQ(BuildConfigImage(card, image, crc), 0);
    EXPECT_EQ(image[0], 0x77);
    EXPECT_EQ(crc, 0x1234);
}

TEST(ConfigImage, ImagesOfTheSameCardDifferByStampAndRandomBytes) {
    const Card card = patternedCard();
    ConfigImage a{}, b{};
    std::uint16_t crcA = 0, crcB = 0;
    BuildConfigImageAt(card, kMoment, 1, 2, a, crcA);
    BuildConfigImageAt(card, kMoment.addSecs(1), 1, 2, b, crcB);
    EXPECT_NE(crcA, crcB);
    BuildConfigImageAt(card, kMoment, 1, 3, b, crcB);
    EXPECT_NE(crcA, crcB);

    // With real random bytes, a run of builds yields varied result IDs.
    ReseedImageRandom();
    std::set<int> randomPairs;
    for (int i = 0; i < 20; ++i) {
        BuildConfigImage(card, a, crcA);
        EXPECT_LE(a[581], 254);
        EXPECT_LE(a[582], 254);
        randomPairs.insert(a[581] * 256 + a[582]);
    }
    EXPECT_GT(randomPairs.size(), 15u);
}

TEST(ConfigImage, AnySingleByteChangeBreaksTheChecksum) {
    ConfigImage image{};
    std::uint16_t crc = 0;
    BuildConfigImageAt(patternedCard(), kMoment, 9, 9, image, crc);
    for (std::size_t i = 0; i < image.size(); ++i) {
        ConfigImage broken = image;
        broken[i] ^= 0x10;
        EXPECT_NE(ImageCrc16(broken.data(), broken.size()), 0) << i;
    }
}

} // namespace
} // namespace k8w

namespace k8w {
namespace {

TEST(ConfigImage, ChecksumTextIsFourUppercaseHexDigits) {
    EXPECT_EQ(ChecksumText(0x0B6C), QStringLiteral("0B6C"));
    EXPECT_EQ(ChecksumText(0xBEEF), QStringLiteral("BEEF"));
    EXPECT_EQ(ChecksumText(0), QStringLiteral("0000"));
}

} // namespace
} // namespace k8w
