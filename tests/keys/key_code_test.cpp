#include "cards/card.h"
#include "keys/key_code.h"
#include "keys/subscribers.h"

#include <gtest/gtest.h>

namespace k8w::keys {
namespace {

// An identity whose bytes 1-6 hold `serial`, least significant byte first.
std::array<std::uint8_t, 8> identityOf(std::uint64_t serial, std::uint8_t family = 0x01) {
    std::array<std::uint8_t, 8> id{family};
    for (int i = 1; i <= 6; ++i) id[i] = static_cast<std::uint8_t>(serial >> (8 * (i - 1)));
    id[7] = 0xEE;  // the CRC is never looked at
    return id;
}

TEST(KeyCode, SevenSerialBitsPerByteFromBitZero) {
    // Code byte i holds serial bits 7i..7i+6.
    const std::uint64_t serial = (0x55ULL << 0) | (0x2AULL << 7) | (0x7FULL << 14) | (0x01ULL << 21) |
                                 (0x40ULL << 28) | (0x33ULL << 35);
    const KeyCode code = KeyCodeFromIdentity(identityOf(serial).data());
    EXPECT_EQ(code, (KeyCode{0x55, 0x2A, 0x7F, 0x01, 0x40, 0x33}));
    EXPECT_EQ(KeyCodeText(code.data()), QStringLiteral("33 40 01 7f 2a 55 "));
    EXPECT_EQ(TypedKeyCodeText(code.data()), QStringLiteral("3340017f2a55"));
}

TEST(KeyCode, SerialBits42To47AreDropped) {
    const std::uint64_t serial = 0x0123'4567'89ABULL & ((1ULL << 42) - 1);
    EXPECT_EQ(KeyCodeFromIdentity(identityOf(serial | 0xFC00'0000'0000ULL).data()),
              KeyCodeFromIdentity(identityOf(serial).data()));
    // Neither the family nor the CRC byte changes the code.
    EXPECT_EQ(KeyCodeFromIdentity(identityOf(serial, 0x33).data()), KeyCodeFromIdentity(identityOf(serial).data()));
}

TEST(KeyCode, EveryByteReadFromAKeyIsAtMost7F) {
    const KeyCode code = KeyCodeFromIdentity(identityOf(0xFFFF'FFFF'FFFFULL).data());
    EXPECT_EQ(code, (KeyCode{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}));
    const QString text = KeyCodeText(code.data());
    EXPECT_EQ(text.size(), 18);
    for (int i = 0; i < 18; i += 3) EXPECT_LE(text[i], QLatin1Char('7'));
}

TEST(KeyCode, TypedCodesReadLeftmostPairAsByteFive) {
    struct Case {
        const char* text;
        bool accepted;
        KeyCode code;
    };
    const Case cases[] = {
        {"0a1B2c3D4e5F", true, {0x5F, 0x4E, 0x3D, 0x2C, 0x1B, 0x0A}},
        {"FFEE80000001", true, {0x01, 0x00, 0x00, 0x80, 0xEE, 0xFF}},  // any value 00-FF
        {"0a1b2c3d4e5", false, {}},                                    // eleven digits
        {"0a1b2c3d4e5f0", false, {}},                                  // thirteen
        {"0a1b2c 3d4e5", false, {}},                                   // a blank
        {"+a1b2c3d4e5f", false, {}},                                   // a sign
        {"0a1b2c3d4e5g", false, {}},                                   // a letter beyond F
        {"", false, {}},
    };
    for (const Case& c : cases) {
        KeyCode code{9, 9, 9, 9, 9, 9};
        EXPECT_EQ(ParseTypedKeyCode(QString::fromLatin1(c.text), code), c.accepted) << c.text;
        if (c.accepted) EXPECT_EQ(code, c.code) << c.text;
        else EXPECT_EQ(code, (KeyCode{9, 9, 9, 9, 9, 9})) << "a refused text changes nothing: " << c.text;
    }
}

TEST(Subscribers, ChoicesLeaveOutEveryInstalledSubscriberOfThePartition) {
    KeyEntry entries[6] = {};
    const int installed[] = {1, 2, 5, 17, 31, 32};
    for (int s = 0; s < 6; ++s) {
        entries[s].state = 1;
        entries[s].subscriber = static_cast<std::uint8_t>(installed[s]);
    }
    const QStringList choices = SubscriberChoices(entries);
    ASSERT_EQ(choices.size(), 26);
    EXPECT_EQ(choices.front(), QStringLiteral("Абонент 3"));
    EXPECT_EQ(choices.back(), QStringLiteral("Абонент 30"));
    for (const QString& choice : choices) {
        const int n = SubscriberOfChoice(choice);
        EXPECT_TRUE(std::find(std::begin(installed), std::end(installed), n) == std::end(installed)) << n;
    }
}

TEST(Subscribers, OnlyStateOneHoldsASubscriber) {
    KeyEntry entries[6] = {};
    entries[0] = {2, 1, {}, 0.0};  // a state other than 1 is free
    entries[3] = {1, 2, {}, 0.0};
    const QStringList choices = SubscriberChoices(entries);
    ASSERT_EQ(choices.size(), 31);
    EXPECT_EQ(choices[0], QStringLiteral("Абонент 1 (Ответсвенный)"));
    EXPECT_EQ(choices[1], QStringLiteral("Абонент 3"));
    EXPECT_EQ(SubscriberOfChoice(choices[0]), 1);
    EXPECT_EQ(SubscriberOfChoice(QStringLiteral("Абонент 2 (Дов. лицо)")), 2);
    EXPECT_EQ(SubscriberOfChoice(choices.back()), 32);
}

TEST(Subscribers, KeyTableLabels) {
    EXPECT_EQ(SubscriberLabel(1), QStringLiteral("Абонент 1 (Ответственный)"));
    EXPECT_EQ(SubscriberLabel(2), QStringLiteral("Абонент 2 (Дов. лицо)"));
    EXPECT_EQ(SubscriberLabel(3), QStringLiteral("Абонент 3"));
    EXPECT_EQ(SubscriberLabel(32), QStringLiteral("Абонент 32"));
}

} // namespace
} // namespace k8w::keys
