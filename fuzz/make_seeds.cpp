// Writes the seed corpus of every fuzz target, built with the program's own
// encoders: fuzz_make_seeds DIR writes DIR/<target>/<seed>. The seeds kept
// in fuzz/corpus were made with it.
#include "cards/card.h"
#include "cards/card_template.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"
#include "control/ctrl_protocol.h"
#include "link/ftdi_controller.h"
#include "link/link_block.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace k8w;

namespace {

using Bytes = std::vector<std::uint8_t>;

QString root;

void save(const char* target, const char* name, const Bytes& bytes) {
    const QString folder = root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes bytesOf(const Card& card) {
    const auto* at = reinterpret_cast<const std::uint8_t*>(&card);
    return Bytes(at, at + kCardSize);
}
void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

const QDateTime kMoment(QDate(2024, 5, 17), QTime(14, 3, 27));

Card sampleCard(std::uint32_t code) {
    Card card{};
    card.codeUoo = code;
    setFieldText(card.pin1, QStringLiteral("1234"));
    setFieldText(card.ip1Gsm, QStringLiteral("10.20.30.40"));
    setFieldText(card.port1Gsm, QStringLiteral("7001"));
    setFieldText(card.apn1, QStringLiteral("internet.mts.ru"));
    card.cordType[0] = 1;
    card.cordType[1] = 2;
    card.cordType[4] = 6;
    card.relayProfile[0] = 11;
    card.relayProfile[2] = 2;
    card.timePass = 30;
    card.modeFlags = 0x15;
    card.smsFlags = 0x83;
    setFieldText(card.smsNumber1, QStringLiteral("+7912345678"));
    setFieldText(card.smsObjName, QStringLiteral("Склад"));
    setFieldText(card.balCode[0], QStringLiteral("*100#"));
    card.balCriticalLevel = 50;
    card.balFlags = 2;
    setFieldText(card.cardNumber, QStringLiteral("%1").arg(code));
    setFieldText(card.objectName, QStringLiteral("Магазин «Ромашка»"));
    setFieldText(card.address, QStringLiteral("ул. Ленина, 1"));
    card.changeDate = toDayDate(kMoment);
    card.progDate = toDayDate(kMoment.addDays(-3));
    card.progId = 0xBEEF;
    card.keys[0][0] = KeyEntry{1, 1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, toDayDate(kMoment)};
    card.keys[3][5] = KeyEntry{1, 6, {0x7F, 0x80, 0xFF, 0x00, 0x01, 0x02}, 45000.5};
    return card;
}

ConfigImage imageOf(const Card& card) {
    ConfigImage image{};
    std::uint16_t crc = 0;
    BuildConfigImageAt(card, kMoment, 0x12, 0x34, image, crc);
    return image;
}

void cardFileSeeds() {
    const Card card = sampleCard(1001);
    const Card cardTemplate = MakeCardTemplate(card);
    save("card_file", "template-only", bytesOf(cardTemplate));
    Bytes one = bytesOf(card);
    append(one, bytesOf(cardTemplate));
    save("card_file", "one-card", one);
    Bytes three = bytesOf(card);
    append(three, bytesOf(Card{}));  // a deleted slot
    Card damaged = sampleCard(1003);
    damaged.changeDate = 1e300;  // a damaged date
    damaged.version = 1;         // a version without an image
    append(three, bytesOf(damaged));
    append(three, bytesOf(cardTemplate));
    save("card_file", "three-cards", three);
    Bytes odd = one;
    odd.push_back(0);
    save("card_file", "one-byte-over", odd);
}

// Script items of the replayed cable (see fuzz/replay_driver.h).
Bytes reply(const Bytes& bytes) {
    Bytes item{static_cast<std::uint8_t>(bytes.size())};
    append(item, bytes);
    return item;
}
Bytes late(const Bytes& bytes) {
    Bytes item{static_cast<std::uint8_t>(0x40 | bytes.size())};
    append(item, bytes);
    return item;
}
Bytes fault() { return {0x80}; }
Bytes action(std::uint8_t number) { return {static_cast<std::uint8_t>(0xC0 | number)}; }

Bytes versionBlock(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    const std::uint8_t data[] = {a, b, c};
    return link::MakeBlock(data, 3);
}

void readExchangeSeeds() {
    const ConfigImage image = imageOf(sampleCard(1001));
    Bytes read{0};
    append(read, reply(bytesOf("READY")));
    append(read, reply(versionBlock(2, 1, 7)));
    append(read, reply(bytesOf("READY")));
    for (std::size_t at = 0; at < kImageSize; at += link::kBlockData)
        append(read, reply(link::MakeBlock(image.data() + at, std::min(link::kBlockData, kImageSize - at))));
    append(read, reply(Bytes(std::begin(link::kEndBlock), std::end(link::kEndBlock))));
    save("read_exchange", "read-whole-image", read);

    Bytes stopped{0};
    append(stopped, reply(bytesOf("READY")));
    append(stopped, reply(bytesOf("ERROR")));  // no version: "Н/Д"
    append(stopped, late(bytesOf("RE")));
    append(stopped, reply(bytesOf("READY")));
    append(stopped, reply(link::MakeBlock(image.data(), link::kBlockData)));
    append(stopped, action(0));  // the user stops
    save("read_exchange", "read-stopped", stopped);

    // More blocks than the link's buffer holds: the read must fail, not overflow.
    Bytes overlong{0};
    append(overlong, reply(bytesOf("READY")));
    append(overlong, reply(versionBlock(1, 0, 0)));
    append(overlong, reply(bytesOf("READY")));
    const Bytes wide(35, 0x5A);
    for (std::size_t at = 0; at <= link::kLinkBufferSize; at += wide.size())
        append(overlong, reply(link::MakeBlock(wide.data(), wide.size())));
    append(overlong, reply(Bytes(std::begin(link::kEndBlock), std::end(link::kEndBlock))));
    save("read_exchange", "read-overlong", overlong);

    Bytes refused{0};
    append(refused, reply(bytesOf("READY")));
    append(refused, reply(bytesOf("ERROR")));  // to the first "DEVICE"
    for (int attempt = 1; attempt < 4; ++attempt) append(refused, reply({}));
    append(refused, reply(bytesOf("ERROR")));  // to "READ"
    save("read_exchange", "read-device-error", refused);

    Bytes pulled{0};
    append(pulled, reply(bytesOf("READY")));
    append(pulled, fault());  // the status call fails
    save("read_exchange", "read-cable-fault", pulled);

    Bytes write{1};
    append(write, reply(bytesOf("READY")));
    append(write, reply(bytesOf("READY")));
    append(write, late(bytesOf("NEXT")));
    for (std::size_t at = 0; at < kImageSize; at += link::kBlockData) append(write, reply(bytesOf("NEXT")));
    append(write, reply(bytesOf("OK")));
    save("read_exchange", "write-ready", write);

    Bytes readyNext{1};
    append(readyNext, reply(bytesOf("READY")));
    append(readyNext, reply(bytesOf("READYNEXT")));
    for (std::size_t at = 0; at < kImageSize; at += link::kBlockData) append(readyNext, reply(bytesOf("NEXT")));
    append(readyNext, reply(bytesOf("OK")));
    save("read_exchange", "write-readynext", readyNext);
}

Bytes replyPacket(std::uint8_t code, const Bytes& payload) {
    Bytes packet{control::kReplyStart, code};
    append(packet, payload);
    packet.push_back(link::BlockChecksum(packet.data(), packet.size()));
    return packet;
}

Bytes statusPayload() {
    Bytes payload{0x81, control::kFlagPower | control::kFlagKeyWaiting};
    for (std::uint16_t ohms : {4700, 4700, 0, 65535, 12000}) {
        payload.push_back(static_cast<std::uint8_t>(ohms));
        payload.push_back(static_cast<std::uint8_t>(ohms >> 8));
    }
    return payload;
}

const Bytes kKeyPayload = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x9A};

void controlSeeds() {
    const Bytes status = replyPacket(control::kCmdStatus, statusPayload());
    const Bytes key = replyPacket(control::kCmdReadKey, kKeyPayload);
    const Bytes outputs = replyPacket(control::kCmdSetOutputs, {});
    const Bytes error = replyPacket(control::kReplyDeviceError, {1});
    const Bytes empty = replyPacket(control::kReplyEmpty, {});

    Bytes greeted{1};
    append(greeted, status);
    save("ctrl_reply", "status", greeted);
    Bytes several{1};
    for (const Bytes& p : {key, outputs, error, empty, status}) append(several, p);
    save("ctrl_reply", "several", several);
    Bytes greeting{0};
    append(greeting, bytesOf("READY"));
    save("ctrl_reply", "greeting", greeting);

    // Link: greeting answered, a status poll, a key request, an output set,
    // the SIM switched and answered by a device error.
    Bytes session;
    append(session, reply(bytesOf("READY")));
    append(session, action(0));                                  // poll
    append(session, reply(status));
    append(session, action(1));                                  // key
    append(session, reply(key));
    append(session, action(2 | control::kRelay1 << 3));          // relay 1 on
    append(session, reply(outputs));
    append(session, action(4 | 1 << 3));                         // SIM 2
    append(session, reply(error));
    save("ctrl_link", "session", session);

    Bytes trickle;
    append(trickle, reply(bytesOf("READY")));
    append(trickle, reply(Bytes(status.begin(), status.begin() + 5)));
    append(trickle, late(Bytes(status.begin() + 5, status.end())));
    append(trickle, fault());
    append(trickle, action(5));  // greet again
    append(trickle, reply(bytesOf("READY")));
    save("ctrl_link", "trickle-and-fault", trickle);

    Bytes silent;
    append(silent, reply(bytesOf("ERROR")));
    append(silent, reply(bytesOf("READY")));
    append(silent, action(1));  // a key request never answered: resent, then a timeout
    append(silent, reply({}));
    append(silent, reply({}));
    append(silent, reply({}));
    append(silent, action(6));  // hidden and shown again
    append(silent, reply(bytesOf("READY")));
    save("ctrl_link", "silence-and-restart", silent);
}

void keyTextSeeds() {
    save("key_text", "lower", bytesOf("0123456789ab"));
    save("key_text", "mixed-high", bytesOf("00FFa0B17F80"));
    save("key_text", "eleven", bytesOf("12345678901"));
    save("key_text", "blank", bytesOf("12 456789abc"));
    const QString wide = QStringLiteral("66554433221А");  // a Cyrillic А last
    const auto* at = reinterpret_cast<const std::uint8_t*>(wide.utf16());
    save("key_text", "utf16", Bytes(at, at + 2 * wide.size()));
}

void imageDiffSeeds() {
    const Card card = sampleCard(1001);
    const ConfigImage image = imageOf(card);
    Bytes same = bytesOf(card);
    append(same, Bytes(image.begin(), image.end()));
    save("image_diff", "card-and-its-image", same);

    ConfigImage other = image;
    other[offsetof(Card, cordType)] = 9;         // a choice beyond its list
    other[offsetof(Card, smsFlags)] ^= 0x08;     // a check box
    other[offsetof(Card, apn1) + 3] = 0;         // a shorter text
    other[kImageKeysOffset + 40] = 0x7E;         // a key
    other[500] = 0xAB;                           // a byte no field shows
    const std::uint16_t crc = ImageCrc16(other.data(), kImageCrcOffset);
    other[kImageCrcOffset] = static_cast<std::uint8_t>(crc);
    other[kImageCrcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
    Bytes differ = bytesOf(card);
    append(differ, Bytes(other.begin(), other.end()));
    save("image_diff", "card-and-changed-image", differ);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !textCodecAvailable()) {
        std::fprintf(stderr, "usage: fuzz_make_seeds DIR (needs the CP1251 codec)\n");
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);
    cardFileSeeds();
    readExchangeSeeds();
    controlSeeds();
    keyTextSeeds();
    imageDiffSeeds();
    return 0;
}
