#include "link/image_view_fields.h"

#include "cards/card.h"
#include "cards/config_image.h"
#include "common/cp1251.h"

#include <cstring>

namespace k8w::link {
namespace {

using Kind = ViewFieldKind;

const QString kSeparator21(21, QLatin1Char('-'));
const QString kSeparator27(27, QLatin1Char('-'));

// The view's own fixed lists: the output lists carry two items more than the
// editor's.
const QStringList kCord1Items = {
    QStringLiteral("Отключен"),       QStringLiteral("Охранный шлейф"),
    QStringLiteral("Пожарный шлейф"), QStringLiteral("Шлейф КТС"),
    QStringLiteral("Входной охранный шлейф"), kSeparator21,
    QStringLiteral("Управляющий шлейф")};
const QStringList kCordItems = {
    QStringLiteral("Отключен"),       QStringLiteral("Охранный шлейф"),
    QStringLiteral("Пожарный шлейф"), QStringLiteral("Шлейф КТС"),
    kSeparator27,                     QStringLiteral("Проходной охранный шлейф"),
    QStringLiteral("Управляющий шлейф")};
const QStringList kPartItems = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                QStringLiteral("3")};

QStringList relayItems(const QString& part) {
    return {QStringLiteral("Выключен"),
            QStringLiteral("Тревога Свет (общий)"),
            QStringLiteral("Тревога Звук (общий)"),
            QStringLiteral("Пожар Свет (общий)"),
            QStringLiteral("Пожар Звук (общий)"),
            QStringLiteral("Тревога + Пожар Свет (общий)"),
            QStringLiteral("Тревога + Пожар Звук (общий)"),
            QStringLiteral("Изменение состояния охраны (общий)"),
            QStringLiteral("КТС Свет (общий)"),
            QStringLiteral("КТС Звук (общий)"),
            QStringLiteral("Тревога Свет (раздел %1)").arg(part),
            QStringLiteral("КТС Свет (раздел %1)").arg(part)};
}
const QStringList kRelay1Items = relayItems(QStringLiteral("0"));
const QStringList kRelay2Items = relayItems(QStringLiteral("1"));
const QStringList kRelay3Items = {QStringLiteral("Выключен"), QStringLiteral("Вход/Выход (моно)"),
                                  QStringLiteral("Вход/Выход (пульс)")};

ViewField text(const char* control, std::size_t offset, std::size_t size) {
    return {QString::fromLatin1(control), Kind::Text, offset, size};
}
ViewField number(const char* control, std::size_t offset, std::size_t size, unsigned zeroShownAs = 0) {
    ViewField field{QString::fromLatin1(control), Kind::Number, offset, size};
    field.zeroShownAs = zeroShownAs;
    return field;
}
ViewField choice(const QString& control, std::size_t offset, const QStringList& items) {
    ViewField field{control, Kind::Choice, offset, 1};
    field.items = &items;
    return field;
}
ViewField check(const char* control, std::size_t offset, int bit, bool tickedWhenClear = false) {
    ViewField field{QString::fromLatin1(control), Kind::Check, offset, 1};
    field.bit = bit;
    field.tickedWhenClear = tickedWhenClear;
    return field;
}

#define CARD_TEXT(control, member) text(control, offsetof(Card, member), sizeof(Card::member))

std::vector<ViewField> makeFields() {
    std::vector<ViewField> fields = {
        text("NCardEdit", 0, 11),
        {QStringLiteral("Label17"), Kind::BuildDate, 12, 6},
        number("CodeUoo", offsetof(Card, codeUoo), 4),
        CARD_TEXT("Pin1Edit", pin1),
        CARD_TEXT("Pin2Edit", pin2),
        CARD_TEXT("Ip1GsmEdit", ip1Gsm),
        CARD_TEXT("Ip2GsmEdit", ip2Gsm),
        CARD_TEXT("Port1GsmEdit", port1Gsm),
        CARD_TEXT("Port2GsmEdit", port2Gsm),
        CARD_TEXT("APN1Edit", apn1),
        CARD_TEXT("APN2Edit", apn2),
        CARD_TEXT("LoginGsm1Edit", loginGsm1),
        CARD_TEXT("LoginGsm2Edit", loginGsm2),
        CARD_TEXT("PassGsm1Edit", passGsm1),
        CARD_TEXT("PassGsm2Edit", passGsm2),
    };
    for (int loop = 0; loop < 5; ++loop)
        fields.push_back(choice(QStringLiteral("Cord%1").arg(loop + 1), offsetof(Card, cordType) + loop,
                                loop == 0 ? kCord1Items : kCordItems));
    for (int loop = 0; loop < 5; ++loop)
        fields.push_back(
            choice(QStringLiteral("Cord%1Part").arg(loop + 1), offsetof(Card, cordPart) + loop, kPartItems));
    const QStringList* relays[] = {&kRelay1Items, &kRelay2Items, &kRelay3Items};
    for (int out = 0; out < 3; ++out)
        fields.push_back(
            choice(QStringLiteral("RelayComboBox%1").arg(out + 1), offsetof(Card, relayProfile) + out, *relays[out]));
    const std::size_t mode = offsetof(Card, modeFlags);
    const std::size_t sms = offsetof(Card, smsFlags);
    const std::vector<ViewField> rest = {
        number("timePassEdit", offsetof(Card, timePass), 1),
        check("IndicZU", mode, 0),
        check("powerCtrlOffCheck", mode, 1),
        check("oneColorIndicCheck", mode, 2),
        check("caseCtrlOffCheck", mode, 3),
        check("allowUpdateCheck", mode, 4),
        check("use1961Check", mode, 5),
        check("sendSMS1Check", sms, 0),
        check("sendSMS2Check", sms, 1),
        check("smsGuardModeCheck", sms, 2),
        check("smsFireCheck", sms, 3),
        check("smsKtcCheck", sms, 4),
        check("smsAlarmCheck", sms, 5),
        check("saveSMSCheck", sms, 7),
        CARD_TEXT("smsNumber1Edit", smsNumber1),
        CARD_TEXT("smsNumber2Edit", smsNumber2),
        CARD_TEXT("smsObjNameEdit", smsObjName),
        text("balCodeSim1", offsetof(Card, balCode), sizeof(Card::balCode[0])),
        text("balCodeSim2", offsetof(Card, balCode) + sizeof(Card::balCode[0]), sizeof(Card::balCode[0])),
        // The device takes a critical level of 0 as its default of 10 roubles.
        number("balCritical", offsetof(Card, balCriticalLevel), 2, 10),
        // The stored bit switches the notice off.
        check("balSendPcnCheck", offsetof(Card, balFlags), 1, true),
        {QStringLiteral("ProgID1"), Kind::Checksum, kImageCrcOffset, 2},
    };
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

#undef CARD_TEXT

unsigned littleEndian(const std::uint8_t* bytes, std::size_t size) {
    unsigned value = 0;
    for (std::size_t i = size; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

} // namespace

const std::vector<ViewField>& ViewFields() {
    static const std::vector<ViewField> fields = makeFields();
    return fields;
}

const ViewField* FindViewField(const QString& control) {
    for (const ViewField& field : ViewFields())
        if (field.control == control) return &field;
    return nullptr;
}

int ViewFieldIndex(const ViewField& field, const std::uint8_t* image) { return image[field.offset]; }

bool ViewFieldTicked(const ViewField& field, const std::uint8_t* image) {
    const bool set = (image[field.offset] >> field.bit & 1) != 0;
    return set != field.tickedWhenClear;
}

QString ViewFieldText(const ViewField& field, const std::uint8_t* image) {
    const std::uint8_t* at = image + field.offset;
    switch (field.kind) {
    case Kind::Text: {
        // A text may run on past its own field, but never past the image.
        const std::size_t room = kImageSize - field.offset;
        const void* end = std::memchr(at, 0, room);
        const std::size_t length = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - at) : room;
        return fromCp1251(reinterpret_cast<const char*>(at), length);
    }
    case Kind::Choice: {
        const int index = ViewFieldIndex(field, image);
        return index < field.items->size() ? field.items->at(index) : QString();
    }
    case Kind::Check:
        return ViewFieldTicked(field, image) ? QStringLiteral("1") : QStringLiteral("0");
    case Kind::Number: {
        const unsigned value = littleEndian(at, field.size);
        return QString::number(value == 0 ? field.zeroShownAs : value);
    }
    case Kind::BuildDate: {
        QString date = QStringLiteral("%1.%2.%3 %4:%5:%6");
        for (std::size_t i = 0; i < 6; ++i) date = date.arg(unsigned{at[i]});
        return date;
    }
    case Kind::Checksum:
        return ChecksumText(static_cast<std::uint16_t>(littleEndian(at, 2)));
    }
    return QString();
}

} // namespace k8w::link
