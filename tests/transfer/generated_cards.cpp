#include "generated_cards.h"

#include "cards/card_template.h"
#include "common/cp1251.h"
#include "common/day_date.h"

#include <QDateTime>

#include <array>
#include <cstring>

namespace k8w::test {
namespace {

const QString kLetters = QStringLiteral("№АБВЁЖЯабвёжя\"\\;,\t{}[]€«»0123456789 xyzXYZ");

template <std::size_t N> void longest(char (&field)[N], int seed) {
    QString text;
    for (std::size_t i = 0; i + 1 < N; ++i) text += kLetters[(seed + static_cast<int>(i) * 7) % kLetters.size()];
    setFieldText(field, text);
}

template <std::size_t N> void digits(char (&field)[N], const QString& text) { setFieldText(field, text); }

std::uint32_t mix(int i) { return static_cast<std::uint32_t>(i) * 2654435761u; }

double wholeSecond(int i) {
    return toDayDate(QDateTime(QDate(2020, 1, 1).addDays(i % 2000), QTime(0, 0).addSecs((i * 3917) % 86400)));
}

void fillLoops(Card& card, int i) {
    static const std::array<int, 6> loop1 = {0, 1, 2, 3, 4, 6};
    static const std::array<int, 6> others = {0, 1, 2, 3, 5, 6};
    card.cordType[0] = static_cast<std::uint8_t>(loop1[static_cast<std::size_t>(i % 6)]);
    const bool entry = card.cordType[0] == 4;
    std::array<bool, 4> control{};
    for (int loop = 0; loop < 5; ++loop) {
        int type = loop == 0 ? card.cordType[0] : others[static_cast<std::size_t>((i / 6 + loop) % 6)];
        int part = (i + loop) % 4;
        if (type == 5 && !entry) type = 1;
        if (entry && (loop == 0 || type == 5 || type == 6)) part = 0;
        if (type == 6 && control[static_cast<std::size_t>(part)]) type = 2;
        if (type == 6) control[static_cast<std::size_t>(part)] = true;
        card.cordType[loop] = static_cast<std::uint8_t>(type);
        card.cordPart[loop] = static_cast<std::uint8_t>(part);
    }
}

void fillKeys(Card& card, int i) {
    for (int group = 0; group < kKeyGroups; ++group) {
        for (int slot = 0; slot < kKeysPerGroup; ++slot) {
            if ((mix(i + group * 6 + slot) >> 7) % 3 == 0) continue;
            KeyEntry& key = card.keys[group][slot];
            key.state = 1;
            key.subscriber = static_cast<std::uint8_t>(1 + (i % 5) * 6 + i % 3 + slot);  // 1-32, distinct per group
            for (int b = 0; b < 6; ++b) key.keyCode[b] = static_cast<std::uint8_t>(mix(i * 31 + group * 7 + slot + b) >> 11);
            key.entryDate = slot == 5 ? 0 : wholeSecond(i + slot);
        }
    }
}

Card generatedCard(int i) {
    Card card{};
    card.codeUoo = static_cast<std::uint32_t>((i % 10) * 32000 + (i / 10) % 800);
    digits(card.pin1, QStringLiteral("%1").arg(i % 10000, 4, 10, QLatin1Char('0')));
    digits(card.pin2, QStringLiteral("%1").arg((i * 7) % 10000, 4, 10, QLatin1Char('0')));
    longest(card.ip1Gsm, i);
    longest(card.ip2Gsm, i + 1);
    digits(card.port1Gsm, QString::number(10000 + i % 55536));
    digits(card.port2Gsm, QString::number(65535 - i % 55536));
    longest(card.apn1, i + 2);
    longest(card.apn2, i + 3);
    longest(card.loginGsm1, i + 4);
    longest(card.loginGsm2, i + 5);
    longest(card.passGsm1, i + 6);
    longest(card.passGsm2, i + 7);
    fillLoops(card, i);
    card.relayProfile[0] = static_cast<std::uint8_t>(i % 10);
    card.relayProfile[1] = static_cast<std::uint8_t>((i + 3) % 10);
    card.relayProfile[2] = static_cast<std::uint8_t>(i % 3);
    card.timePass = static_cast<std::uint8_t>(card.cordType[0] == 4 ? i % 121 : i % 256);
    const std::uint32_t modeMask = 0x37F;
    card.modeFlags = i == 1 ? modeMask : mix(i) & modeMask;
    card.smsFlags = static_cast<std::uint8_t>(i == 1 ? 0xBF : (mix(i) >> 8) & 0xBF);
    digits(card.smsNumber1, QStringLiteral("8%1").arg(i, 10, 10, QLatin1Char('0')));
    digits(card.smsNumber2, QStringLiteral("8%1").arg(i * 3, 10, 10, QLatin1Char('9')));
    longest(card.smsObjName, i + 8);
    longest(card.ipUpdate, i + 9);
    digits(card.portParams, QString::number(1000 + i % 64536));
    digits(card.portUpdate, QString::number(99999 - i));
    longest(card.balCode[0], i + 10);
    longest(card.balCode[1], i + 11);
    card.balFlags = static_cast<std::uint16_t>(i % 4);
    card.balCriticalLevel = static_cast<std::uint16_t>(card.balFlags & 1 ? 10 + i % 491 : i % 1000);
    longest(card.cardNumber, i + 12);
    longest(card.objectName, i + 13);
    longest(card.address, i + 14);
    longest(card.remark, i + 15);
    longest(card.puk1, i + 16);
    longest(card.number1, i + 17);
    longest(card.simId1, i + 18);
    card.changeDate = wholeSecond(i) + 0.25;
    card.progDate = i % 5 == 0 ? 0 : wholeSecond(i + 1);
    card.progId = static_cast<std::uint16_t>(mix(i) >> 16);
    card.prevProgId = static_cast<std::uint16_t>(mix(i + 1) >> 16);
    longest(card.puk2, i + 19);
    longest(card.number2, i + 20);
    longest(card.simId2, i + 21);
    fillKeys(card, i);
    return card;
}

} // namespace

std::unique_ptr<CardTable> GeneratedCards(int count) {
    auto table = CardTable::create();
    for (int i = 0; i < count; ++i) {
        const int slot = count == 1 ? 0 : static_cast<int>(static_cast<long long>(i) * (kCardCapacity - 1) / (count - 1));
        table->cards[static_cast<std::size_t>(slot)] = generatedCard(i);
        table->cardTemplate = MakeCardTemplate(table->cards[static_cast<std::size_t>(slot)]);
    }
    return table;
}

} // namespace k8w::test
