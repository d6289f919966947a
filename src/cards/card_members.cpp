#include "cards/card_members.h"

#include "cards/card.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <cstring>

namespace k8w {
namespace {

// Loop 1 offers the entry loop at 4 and a separator at 5; loops 2-5 the
// reverse. 6 is the control loop everywhere.
bool loopTypeAllowed(int index, int value) {
    if (value < 0 || value > 6) return false;
    return index == 0 ? value != 5 : value != 4;
}
bool partitionAllowed(int, int value) { return value >= 0 && value <= 3; }
// Out1 and Out2 have ten profiles, the buzzer three.
bool profileAllowed(int index, int value) { return value >= 0 && value <= (index == 2 ? 2 : 9); }

#define K8W_TEXT(field) {#field, MemberKind::Text, offsetof(Card, field), sizeof(Card::field)}
#define K8W_IMAGE_TEXT(field) {#field, MemberKind::Text, offsetof(Card, field), sizeof(Card::field), 0, nullptr, true}

const std::vector<CardMember> kMembers = {
    {"codeUoo", MemberKind::Number, offsetof(Card, codeUoo), 4, 999'999'999, nullptr, true},
    K8W_IMAGE_TEXT(pin1),
    K8W_IMAGE_TEXT(pin2),
    K8W_IMAGE_TEXT(ip1Gsm),
    K8W_IMAGE_TEXT(ip2Gsm),
    K8W_IMAGE_TEXT(port1Gsm),
    K8W_IMAGE_TEXT(port2Gsm),
    K8W_IMAGE_TEXT(apn1),
    K8W_IMAGE_TEXT(apn2),
    K8W_IMAGE_TEXT(loginGsm1),
    K8W_IMAGE_TEXT(loginGsm2),
    K8W_IMAGE_TEXT(passGsm1),
    K8W_IMAGE_TEXT(passGsm2),
    {"cordType", MemberKind::ByteList, offsetof(Card, cordType), 5, 0, loopTypeAllowed, true},
    {"cordPart", MemberKind::ByteList, offsetof(Card, cordPart), 5, 0, partitionAllowed, true},
    {"relayProfile", MemberKind::ByteList, offsetof(Card, relayProfile), 3, 0, profileAllowed, true},
    // The editor's field takes three digits; the record one byte.
    {"timePass", MemberKind::Number, offsetof(Card, timePass), 1, 255, nullptr, true},
    {"modeFlags", MemberKind::Flags, offsetof(Card, modeFlags), 4,
     kModeIndicZU | kModePowerCtrlOff | kModeOneColorIndic | kModeCaseCtrlOff | kModeAllowUpdate |
         kModeUse1961 | kModeSendNewMsg | kModePartSupport | kModeAllowParamsUpdate,
     nullptr, true},
    {"smsFlags", MemberKind::Flags, offsetof(Card, smsFlags), 1,
     kSmsToNumber1 | kSmsToNumber2 | kSmsGuardMode | kSmsFire | kSmsKtc | kSmsAlarm | kSmsSaveInPhone, nullptr,
     true},
    K8W_IMAGE_TEXT(smsNumber1),
    K8W_IMAGE_TEXT(smsNumber2),
    K8W_IMAGE_TEXT(smsObjName),
    K8W_IMAGE_TEXT(ipUpdate),
    K8W_IMAGE_TEXT(portParams),
    K8W_IMAGE_TEXT(portUpdate),
    {"balCode", MemberKind::TextPair, offsetof(Card, balCode), sizeof(Card::balCode[0]), 0, nullptr, true},
    // The editor's field takes three digits.
    {"balCriticalLevel", MemberKind::Number, offsetof(Card, balCriticalLevel), 2, 999, nullptr, true},
    {"balFlags", MemberKind::Flags, offsetof(Card, balFlags), 2, kBalEnable | kBalNoCriticalNotice, nullptr, true},
    K8W_IMAGE_TEXT(cardNumber),
    K8W_TEXT(objectName),
    K8W_TEXT(address),
    K8W_TEXT(remark),
    K8W_TEXT(puk1),
    K8W_TEXT(number1),
    K8W_TEXT(simId1),
    {"changeDate", MemberKind::Date, offsetof(Card, changeDate), 8},
    {"progDate", MemberKind::Date, offsetof(Card, progDate), 8},
    {"progId", MemberKind::Checksum, offsetof(Card, progId), 2, 0xFFFF},
    {"prevProgId", MemberKind::Checksum, offsetof(Card, prevProgId), 2, 0xFFFF},
    K8W_TEXT(puk2),
    K8W_TEXT(number2),
    K8W_TEXT(simId2),
    // 0 is "55.01", the only version offered.
    {"version", MemberKind::Number, offsetof(Card, version), 1, 0},
};

#undef K8W_TEXT
#undef K8W_IMAGE_TEXT

struct Span {
    std::size_t offset, size;
};
const Span kReserved[] = {
    {offsetof(Card, imageNumberSlot), sizeof(Card::imageNumberSlot) + sizeof(Card::imageStampSlot)},
    {offsetof(Card, reserved337), offsetof(Card, cardNumber) - offsetof(Card, reserved337)},
    {offsetof(Card, reserved827), 1},
    {offsetof(Card, reserved889), sizeof(Card::reserved889)},
    {offsetof(Card, reserved1276), sizeof(Card::reserved1276)},
};

const unsigned char* bytesOf(const Card& card) { return reinterpret_cast<const unsigned char*>(&card); }

} // namespace

const std::vector<CardMember>& CardMembers() { return kMembers; }

const CardMember* FindCardMember(QStringView name) {
    static const QHash<QString, const CardMember*> byName = [] {
        QHash<QString, const CardMember*> names;
        for (const CardMember& m : kMembers) names.insert(QString::fromLatin1(m.name), &m);
        return names;
    }();
    return byName.value(name.toString());
}

std::uint32_t MemberNumber(const Card& card, const CardMember& member, std::size_t index) {
    if (member.kind == MemberKind::ByteList) return bytesOf(card)[member.offset + index];
    std::uint32_t value = 0;
    std::memcpy(&value, bytesOf(card) + member.offset, member.size);
    return value;
}

void SetMemberNumber(Card& card, const CardMember& member, std::uint32_t value, std::size_t index) {
    auto* bytes = reinterpret_cast<unsigned char*>(&card);
    if (member.kind == MemberKind::ByteList) {
        bytes[member.offset + index] = static_cast<unsigned char>(value);
        return;
    }
    std::memcpy(bytes + member.offset, &value, member.size);
}

double MemberDate(const Card& card, const CardMember& member) {
    double value = 0;
    std::memcpy(&value, bytesOf(card) + member.offset, sizeof value);
    return value;
}

void SetMemberDate(Card& card, const CardMember& member, double value) {
    std::memcpy(reinterpret_cast<unsigned char*>(&card) + member.offset, &value, sizeof value);
}

const char* MemberBytes(const Card& card, const CardMember& member) {
    return reinterpret_cast<const char*>(&card) + member.offset;
}

char* MemberBytes(Card& card, const CardMember& member) { return reinterpret_cast<char*>(&card) + member.offset; }

bool HasReservedBytes(const Card& card) {
    const unsigned char* bytes = bytesOf(card);
    for (const Span& span : kReserved)
        if (std::any_of(bytes + span.offset, bytes + span.offset + span.size, [](unsigned char b) { return b != 0; }))
            return true;
    return false;
}

void ClearReservedBytes(Card& card) {
    auto* bytes = reinterpret_cast<unsigned char*>(&card);
    for (const Span& span : kReserved) std::memset(bytes + span.offset, 0, span.size);
}

} // namespace k8w
