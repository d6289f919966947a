#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>

namespace k8w {

static_assert(std::endian::native == std::endian::little,
              "cards are stored little-endian byte for byte");

#pragma pack(push, 1)

// The records below are packed, so most multi-byte fields are misaligned:
// read them by value (e.g. `+card.codeUoo` where a template would take a
// reference) and never take their address.

// One subscriber key slot of a card.
struct KeyEntry {
    std::uint8_t state;       // 1 = a key is installed
    std::uint8_t subscriber;  // subscriber number the key belongs to
    std::uint8_t keyCode[6];  // code byte 0 first
    double entryDate;         // day count; 0 = none
};

constexpr int kKeyGroups = 4;
constexpr int kKeysPerGroup = 6;

// The 1310-byte configuration card of one device, exactly as stored in the
// database file. Bytes 18-436 have the layout of the device image.
struct Card {
    std::uint8_t imageNumberSlot[12];
    std::uint8_t imageStampSlot[6];
    std::uint32_t codeUoo;
    char pin1[5];
    char pin2[5];
    char ip1Gsm[25];
    char ip2Gsm[25];
    char port1Gsm[6];
    char port2Gsm[6];
    char apn1[25];
    char apn2[25];
    char loginGsm1[20];
    char loginGsm2[20];
    char passGsm1[20];
    char passGsm2[20];
    std::uint8_t cordType[5];
    std::uint8_t cordPart[5];
    std::uint8_t relayProfile[3];  // Out1, Out2, buzzer
    std::uint8_t timePass;
    std::uint32_t modeFlags;
    std::uint8_t smsFlags;
    char smsNumber1[12];
    char smsNumber2[12];
    char smsObjName[11];
    char ipUpdate[19];
    char portParams[6];
    char portUpdate[6];
    char balCode[2][12];  // SIM 1, SIM 2
    std::uint16_t balCriticalLevel;
    std::uint16_t balFlags;
    std::uint8_t reserved337[100];
    std::uint8_t reserved437[2];
    std::uint8_t reserved439[2];
    std::uint8_t reserved441[51];
    std::uint8_t reserved492[4];
    char cardNumber[11];
    char objectName[100];
    char address[100];
    char remark[40];
    char puk1[20];
    char number1[15];
    char simId1[25];
    double changeDate;
    double progDate;
    std::uint16_t progId;
    std::uint16_t prevProgId;
    std::uint8_t reserved827;
    char puk2[20];
    char number2[15];
    char simId2[25];
    std::uint8_t version;
    std::uint8_t reserved889[3];
    KeyEntry keys[kKeyGroups][kKeysPerGroup];
    std::uint8_t reserved1276[34];
};

#pragma pack(pop)

constexpr std::size_t kCardSize = 1310;
constexpr std::size_t kKeyBlockOffset = 892;

// modeFlags bits
constexpr std::uint32_t kModeIndicZU = 1u << 0;
constexpr std::uint32_t kModePowerCtrlOff = 1u << 1;
constexpr std::uint32_t kModeOneColorIndic = 1u << 2;
constexpr std::uint32_t kModeCaseCtrlOff = 1u << 3;
constexpr std::uint32_t kModeAllowUpdate = 1u << 4;
constexpr std::uint32_t kModeUse1961 = 1u << 5;
constexpr std::uint32_t kModeSendNewMsg = 1u << 6;
constexpr std::uint32_t kModePartSupport = 1u << 8;
constexpr std::uint32_t kModeAllowParamsUpdate = 1u << 9;

// smsFlags bits
constexpr std::uint8_t kSmsToNumber1 = 1u << 0;
constexpr std::uint8_t kSmsToNumber2 = 1u << 1;
constexpr std::uint8_t kSmsGuardMode = 1u << 2;
constexpr std::uint8_t kSmsFire = 1u << 3;
constexpr std::uint8_t kSmsKtc = 1u << 4;
constexpr std::uint8_t kSmsAlarm = 1u << 5;
constexpr std::uint8_t kSmsSaveInPhone = 1u << 7;

// balFlags bits
constexpr std::uint16_t kBalEnable = 1u << 0;
constexpr std::uint16_t kBalNoCriticalNotice = 1u << 1;  // set when the notice is OFF

static_assert(sizeof(KeyEntry) == 16);
static_assert(offsetof(KeyEntry, keyCode) == 2);
static_assert(offsetof(KeyEntry, entryDate) == 8);
static_assert(sizeof(Card) == kCardSize);
static_assert(offsetof(Card, codeUoo) == 18);
static_assert(offsetof(Card, pin1) == 22);
static_assert(offsetof(Card, pin2) == 27);
static_assert(offsetof(Card, ip1Gsm) == 32);
static_assert(offsetof(Card, ip2Gsm) == 57);
static_assert(offsetof(Card, port1Gsm) == 82);
static_assert(offsetof(Card, port2Gsm) == 88);
static_assert(offsetof(Card, apn1) == 94);
static_assert(offsetof(Card, apn2) == 119);
static_assert(offsetof(Card, loginGsm1) == 144);
static_assert(offsetof(Card, loginGsm2) == 164);
static_assert(offsetof(Card, passGsm1) == 184);
static_assert(offsetof(Card, passGsm2) == 204);
static_assert(offsetof(Card, cordType) == 224);
static_assert(offsetof(Card, cordPart) == 229);
static_assert(offsetof(Card, relayProfile) == 234);
static_assert(offsetof(Card, timePass) == 237);
static_assert(offsetof(Card, modeFlags) == 238);
static_assert(offsetof(Card, smsFlags) == 242);
static_assert(offsetof(Card, smsNumber1) == 243);
static_assert(offsetof(Card, smsNumber2) == 255);
static_assert(offsetof(Card, smsObjName) == 267);
static_assert(offsetof(Card, ipUpdate) == 278);
static_assert(offsetof(Card, portParams) == 297);
static_assert(offsetof(Card, portUpdate) == 303);
static_assert(offsetof(Card, balCode) == 309);
static_assert(offsetof(Card, balCriticalLevel) == 333);
static_assert(offsetof(Card, balFlags) == 335);
static_assert(offsetof(Card, reserved337) == 337);
static_assert(offsetof(Card, reserved437) == 437);
static_assert(offsetof(Card, reserved492) == 492);
static_assert(offsetof(Card, cardNumber) == 496);
static_assert(offsetof(Card, objectName) == 507);
static_assert(offsetof(Card, address) == 607);
static_assert(offsetof(Card, remark) == 707);
static_assert(offsetof(Card, puk1) == 747);
static_assert(offsetof(Card, number1) == 767);
static_assert(offsetof(Card, simId1) == 782);
static_assert(offsetof(Card, changeDate) == 807);
static_assert(offsetof(Card, progDate) == 815);
static_assert(offsetof(Card, progId) == 823);
static_assert(offsetof(Card, prevProgId) == 825);
static_assert(offsetof(Card, reserved827) == 827);
static_assert(offsetof(Card, puk2) == 828);
static_assert(offsetof(Card, number2) == 848);
static_assert(offsetof(Card, simId2) == 863);
static_assert(offsetof(Card, version) == 888);
static_assert(offsetof(Card, keys) == kKeyBlockOffset);
static_assert(offsetof(Card, reserved1276) == 1276);

// A slot is in use when its change date is set.
inline bool isCardInUse(const Card& card) { return card.changeDate >= 0.001; }

} // namespace k8w
