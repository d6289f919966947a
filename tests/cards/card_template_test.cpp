#include "cards/card_template.h"
#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <cstring>

namespace k8w {
namespace {

Card fullCard() {
    Card card{};
    auto* raw = reinterpret_cast<std::uint8_t*>(&card);
    for (std::size_t i = 0; i < sizeof card; ++i) raw[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return card;
}

TEST(CardTemplate, KeepsSettingsAndClearsIdentityPinsSmsPartitionsAndKeys) {
    const Card card = fullCard();
    const Card t = MakeCardTemplate(card);
    const auto* c = reinterpret_cast<const std::uint8_t*>(&card);
    const auto* r = reinterpret_cast<const std::uint8_t*>(&t);

    auto cleared = [](std::size_t i) {
        return (i >= 437 && i < 439) || (i >= 18 && i < 32) /* code, PINs */ ||
               (i >= 242 && i < 278) /* smsFlags, numbers, object name */ ||
               (i >= 229 && i < 234) /* partitions */ || i >= 583;
    };
    for (std::size_t i = 0; i < sizeof t; ++i) {
        if (cleared(i)) {
            EXPECT_EQ(r[i], 0) << "byte " << i;
        } else if (i >= 224 && i < 229) {
            EXPECT_EQ(r[i], c[i] & 0x0F) << "loop type byte " << i;
        } else {
            EXPECT_EQ(r[i], c[i]) << "byte " << i;
        }
    }
}

TEST(CardTemplate, ShortSmsObjectNameClearsOnlyItsOwnField) {
    Card card{};
    setFieldText(card.smsObjName, QStringLiteral("0123456789"));
    setFieldText(card.ipUpdate, QStringLiteral("update.example"));
    const Card t = MakeCardTemplate(card);
    EXPECT_EQ(fieldText(t.smsObjName), QString());
    EXPECT_EQ(fieldText(t.ipUpdate), QStringLiteral("update.example"));
}

TEST(CardTemplate, KeepsTheFirstSeventySixCharactersOfTheObjectName) {
    Card card{};
    setFieldText(card.cardNumber, QStringLiteral("N-17"));
    setFieldText(card.objectName, QString(99, QChar(u'Ж')));
    card.modeFlags = kModePartSupport;
    card.changeDate = 46000;
    card.keys[0][0].state = 1;
    const Card t = MakeCardTemplate(card);
    EXPECT_EQ(fieldText(t.objectName), QString(76, QChar(u'Ж')));
    EXPECT_EQ(fieldText(t.cardNumber), QStringLiteral("N-17"));
    EXPECT_EQ(+t.modeFlags, kModePartSupport);
    EXPECT_EQ(+t.changeDate, 0.0);
    EXPECT_EQ(t.keys[0][0].state, 0);
}

} // namespace
} // namespace k8w
