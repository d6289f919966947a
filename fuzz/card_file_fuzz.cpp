// The database loader over a file of any size and content: from a device
// whose size is its length, from one whose size promises more than it holds
// (a file cut short while it is read), and from a file on disk. Every card it
// loads is then shown as the card list and k8w-cli show it, and built into a
// device image.
#include "fuzz_support.h"

#include "cli/cli_output.h"
#include "store/card_file.h"
#include "cards/config_image.h"
#include "common/cp1251.h"
#include "common/day_date.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>

#include <cstring>
#include <vector>

using namespace k8w;
using k8w::fuzz::require;

namespace {

constexpr int kCapacity = 4;
constexpr std::size_t kRecord = kCardSize;
constexpr std::uint8_t kSlotMark = 0xA5;
constexpr std::uint8_t kTemplateMark = 0x5A;

// A device that claims `claimed` bytes but holds only what it was given.
class CutShortDevice final : public QBuffer {
public:
    CutShortDevice(QByteArray* bytes, qint64 claimed) : QBuffer(bytes), claimed_(claimed) {}
    qint64 size() const override { return claimed_; }

private:
    qint64 claimed_;
};

struct Table {
    std::vector<Card> cards = std::vector<Card>(kCapacity);
    Card cardTemplate{};
    Table() {
        std::memset(static_cast<void*>(cards.data()), kSlotMark, kRecord * kCapacity);
        std::memset(static_cast<void*>(&cardTemplate), kTemplateMark, kRecord);
    }
};

bool filledWith(const Card& card, std::uint8_t mark) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&card);
    for (std::size_t i = 0; i < kRecord; ++i)
        if (bytes[i] != mark) return false;
    return true;
}

bool sameAsRecord(const Card& card, const std::uint8_t* data, std::size_t size, std::size_t index) {
    return (index + 1) * kRecord <= size && std::memcmp(&card, data + index * kRecord, kRecord) == 0;
}

// What the load promises about the cards and the template, given the bytes
// the device really held and the outcome.
void checkTable(const Table& table, CardLoadOutcome outcome, const std::uint8_t* data, std::size_t size,
                qint64 claimed) {
    if (claimed <= 0 || claimed % static_cast<qint64>(kRecord) != 0) {
        require(outcome == CardLoadOutcome::Rejected, "a size that is no multiple of a record is refused");
        for (const Card& slot : table.cards) require(filledWith(slot, kSlotMark), "a refused load changes no slot");
        require(filledWith(table.cardTemplate, kTemplateMark), "a refused load keeps the template");
        return;
    }
    const std::size_t records = static_cast<std::size_t>(claimed) / kRecord - 1;
    const std::size_t toRead = std::min<std::size_t>(records, kCapacity);
    std::size_t i = 0;
    for (; i < toRead && sameAsRecord(table.cards[i], data, size, i); ++i) {
    }
    if (outcome == CardLoadOutcome::Loaded) {
        require(i == toRead, "a complete load fills each slot from its record");
        require(sameAsRecord(table.cardTemplate, data, size, toRead), "the template follows the cards read");
    } else {
        require(outcome == CardLoadOutcome::PartlyRead, "a load of a proper size is complete or partly read");
        require(static_cast<qint64>(size) < claimed, "only a device short of bytes reads partly");
        require(filledWith(table.cardTemplate, kTemplateMark), "a partial load keeps the template");
        if (i < toRead) {
            require(filledWith(table.cards[i], 0), "the slot being read when the bytes ran out is left empty");
            ++i;
        }
    }
    for (; i < static_cast<std::size_t>(kCapacity); ++i)
        require(filledWith(table.cards[i], kSlotMark), "cards past those read are left as they are");
}

// What the card list and k8w-cli show of a card, and its device image.
void showCard(const Card& card) {
    QStringList shown = {cli::fieldForLine(fieldText(card.cardNumber)), cli::fieldForLine(fieldText(card.objectName)),
                         fieldText(card.address),  fieldText(card.remark), fieldText(card.ip1Gsm),
                         fieldText(card.simId1),   fieldText(card.smsObjName),
                         dayDateIsoText(card.changeDate), dayDateLocaleText(card.changeDate),
                         dayDateIsoText(card.progDate),   ChecksumText(card.progId)};
    for (const auto& group : card.keys)
        for (const KeyEntry& key : group) shown << dayDateLocaleText(key.entryDate);
    const QDateTime moment(QDate(2024, 2, 29), QTime(23, 59, 59));
    ConfigImage image{};
    std::uint16_t crc = 0;
    if (BuildConfigImageAt(card, moment, 0x12, 0x34, image, crc) == static_cast<int>(kImageSize))
        require(ImageCrc16(image.data(), kImageSize) == 0, "a built image passes its own checksum");
}

void showTable(const Table& table) {
    for (const Card& slot : table.cards)
        if (isCardInUse(slot)) showCard(slot);
    showCard(table.cardTemplate);
}

CardLoadOutcome loadFrom(QIODevice& device, Table& table) {
    require(device.open(QIODevice::ReadOnly), "the buffer opens");
    return LoadCardDevice(device, table.cards.data(), kCapacity, table.cardTemplate);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::requireCodec();
    fuzz::enterScratchFolder(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qint64 length = static_cast<qint64>(size);

    Table whole;
    QBuffer buffer(&bytes);
    const CardLoadOutcome outcome = loadFrom(buffer, whole);
    checkTable(whole, outcome, data, size, length);
    showTable(whole);

    // The same bytes as the start of a file one to three records longer than
    // the whole records they hold (the last byte tells how many): the file
    // was cut short while it was read, in a card or in the template.
    const qint64 record = static_cast<qint64>(kRecord);
    const qint64 missing = 1 + (size > 0 ? data[size - 1] % 3 : 0);
    const qint64 claimed = (length / record + missing) * record;
    Table cut;
    CutShortDevice shortDevice(&bytes, claimed);
    checkTable(cut, loadFrom(shortDevice, cut), data, size, claimed);
    showTable(cut);

    // The file on disk, as the programs open it.
    const QString fileName = kCardFileName;
    {
        QFile file(fileName);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch database can be written");
        require(file.write(bytes) == length, "the scratch database is written whole");
    }
    Table fromFile;
    CardLoadOutcome fileOutcome = CardLoadOutcome::Missing;
    LoadCardFile(fileName, fromFile.cards.data(), kCapacity, fromFile.cardTemplate, &fileOutcome);
    require(fileOutcome == outcome, "a file loads as the same bytes from a device do");
    require(CardLoadFailureText(fileOutcome, fileName).isEmpty() == (fileOutcome == CardLoadOutcome::Loaded),
            "every failed load has a reason");
    return 0;
}
