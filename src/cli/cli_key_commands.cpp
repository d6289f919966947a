// k8w-cli keys, key-add, key-read and key-del: the key table of a card from
// the command line. A change touches the 16 bytes of one key slot and
// nothing else of the card; it goes through the card base.
#include "cli/cli_card_store.h"
#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_row_card.h"

#include "cards/card_table.h"
#include "common/clock.h"
#include "common/day_date.h"
#include "keys/key_code.h"
#include "keys/key_reader.h"
#include "keys/key_texts.h"
#include "keys/one_wire_port.h"
#include "keys/subscribers.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <optional>
#include <thread>

namespace k8w::cli {
namespace {

const QString kPartition = QStringLiteral("--partition");
const QString kSubscriber = QStringLiteral("--subscriber");
const QString kSlot = QStringLiteral("--slot");
const QString kCode = QStringLiteral("--code");
const QString kOwserver = QStringLiteral("--owserver");
const QString kFreeRow = QStringLiteral("row holds no card");

// One installed slot: partition, slot, subscriber, code as typed, entry date.
QString keyLine(int partition, int slot, const KeyEntry& key) {
    return QStringList{QString::number(partition), QString::number(slot + 1), QString::number(key.subscriber),
                       keys::TypedKeyCodeText(key.keyCode),
                       key.entryDate > 0.1 ? dayDateIsoText(key.entryDate) : QString()}
        .join(QLatin1Char('\t'));
}

// A whole number from `low` to `high` given with `name`; nullopt (and why,
// printed) when it is missing or out of range, unless it may be left out.
std::optional<int> number(const Options& options, const QString& name, int low, int high, bool required = true) {
    if (!options.has(name)) {
        if (required) printError(QStringLiteral("%1 is required").arg(name));
        return std::nullopt;
    }
    bool ok = false;
    const int value = options.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        printError(QStringLiteral("%1 must be a number from %2 to %3").arg(name).arg(low).arg(high));
        return std::nullopt;
    }
    return value;
}

// Where a new key goes: card slot, partition 1-3, subscriber 1-32 and key
// slot 0-5, or -1 for the first free one.
struct KeyPlace {
    int card = -1;
    int partition = 0;
    int subscriber = 0;
    int slot = -1;
};

// Reads --partition, --subscriber and the optional --slot; prints why not.
bool readPlace(const Options& options, KeyPlace& place) {
    const auto partition = number(options, kPartition, 1, 3);
    if (!partition) return false;
    const auto subscriber = number(options, kSubscriber, 1, keys::kSubscriberCount);
    if (!subscriber) return false;
    std::optional<int> slot;
    if (options.has(kSlot) && !(slot = number(options, kSlot, 1, keys::kSlotsPerPartition))) return false;
    place.partition = *partition;
    place.subscriber = *subscriber;
    place.slot = slot ? *slot - 1 : -1;
    return true;
}

// The key slot the key goes into in this table, or why it cannot go there.
QString chooseSlot(const Card& card, const KeyPlace& place, int& slot) {
    if (!isCardInUse(card)) return QStringLiteral("row %1 holds no card").arg(place.card + 1);
    const KeyEntry* group = card.keys[place.partition - 1];
    for (int s = 0; s < keys::kSlotsPerPartition; ++s) {
        if (keys::IsKeyInstalled(group[s]) && group[s].subscriber == place.subscriber)
            return QStringLiteral("subscriber %1 already has a key in partition %2 (slot %3)")
                .arg(place.subscriber)
                .arg(place.partition)
                .arg(s + 1);
    }
    slot = place.slot;
    for (int s = 0; slot < 0 && s < keys::kSlotsPerPartition; ++s)
        if (!keys::IsKeyInstalled(group[s])) slot = s;
    if (slot < 0) return QStringLiteral("partition %1 has no free key slot").arg(place.partition);
    return {};
}

// Stores the key as manual entry does: state 1, subscriber, code, now.
int storeKey(CardStore& store, const KeyPlace& place, const keys::KeyCode& code) {
    KeyEntry stored{};
    int storedSlot = -1;
    const int status = changeCard(
        store, place.card,
        [&](Card& fresh) {
            int slot = -1;
            if (QString refusal = chooseSlot(fresh, place, slot); !refusal.isEmpty()) return refusal;
            KeyEntry& entry = fresh.keys[place.partition - 1][slot];
            if (keys::IsKeyInstalled(entry))
                printError(QStringLiteral("slot %1 held the key of subscriber %2; it is replaced")
                               .arg(slot + 1)
                               .arg(entry.subscriber));
            entry = KeyEntry{};
            entry.state = 1;
            entry.subscriber = static_cast<std::uint8_t>(place.subscriber);
            std::memcpy(entry.keyCode, code.data(), code.size());
            entry.entryDate = dayDateNow();
            stored = entry;
            storedSlot = slot;
            return QString();
        },
        QStringLiteral("key"), kExitFailed);
    if (status == kExitOk) printLine(keyLine(place.partition, storedSlot, stored));
    return status;
}

// Loads the database and checks the place against it before anything else
// happens; prints why not.
bool checkPlace(const Options& options, CardStore& store, KeyPlace& place) {
    if (!readPlace(options, place)) return false;
    const auto table = loadCards(store);
    if (!table) return false;
    place.card = cardSlotOfRow(options, *table, kFreeRow);
    if (place.card < 0) return false;
    int slot = -1;
    if (const QString refusal = chooseSlot(table->cards[static_cast<std::size_t>(place.card)], place, slot); !refusal.isEmpty()) {
        printError(refusal);
        return false;
    }
    return true;
}

// Reads a key by the four-hit rule on the first reader. Ctrl-C stops the
// read: Ctrl-C is kept from every thread and taken by this one.
enum class KeyReadEnd { Read, Failed, Interrupted };

KeyReadEnd readKey(keys::OneWirePort& port, keys::KeyCode& code) {
    InterruptWait interrupt;

    keys::KeyReaderFlags flags;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    printError(keys::kTouchKeyText);
    std::thread worker([&] {
        int shown = 0;
        keys::ReadKeyFourHits(
            port, systemClock(), flags, stop,
            [&](int hits) {
                if (hits == shown) return;
                shown = hits;
                printError(QStringLiteral("%1/%2").arg(hits).arg(keys::kHitsToAccept));
            },
            code.data());
        done.store(true);
    });
    bool interrupted = false;
    while (!done.load()) {
        if (interrupt.waitFor(std::chrono::milliseconds(200)) && !interrupted) {
            interrupted = true;
            stop.store(true);  // before the port's stop, which the enumeration clears
            port.StopAll1WireOperations();
        }
    }
    worker.join();
    if (interrupted) return KeyReadEnd::Interrupted;
    return flags.keyRead.load() ? KeyReadEnd::Read : KeyReadEnd::Failed;
}

} // namespace

int runKeys(const Options& options) {
    const auto table = loadCards(options);
    if (!table) return kExitBadInput;
    const int card = cardSlotOfRow(options, *table, kFreeRow);
    if (card < 0) return kExitBadInput;
    for (int p = 1; p <= 3; ++p) {
        for (int s = 0; s < keys::kSlotsPerPartition; ++s) {
            const KeyEntry& key = table->cards[static_cast<std::size_t>(card)].keys[p - 1][s];
            if (keys::IsKeyInstalled(key)) printLine(keyLine(p, s, key));
        }
    }
    return kExitOk;
}

int runKeyAdd(const Options& options) {
    keys::KeyCode code{};
    if (!keys::ParseTypedKeyCode(options.value(kCode), code)) {
        printError(keys::kBadKeyCodeText);
        return kExitBadInput;
    }
    const auto store = openCardStore(options);
    KeyPlace place;
    if (!store || !checkPlace(options, *store, place)) return kExitBadInput;
    return storeKey(*store, place, code);
}

int runKeyRead(const Options& options) {
    const auto store = openCardStore(options);
    KeyPlace place;
    if (!store || !checkPlace(options, *store, place) || !storeReadyForWriting(*store)) return kExitBadInput;

    // A server named is taken as it is; found by discovery, its simulated buses are no readers.
    const bool named = options.has(kOwserver);
    const auto port = keys::MakeOneWirePort(named ? options.value(kOwserver).toStdString() : std::string());
    keys::KeyCode code{};
    switch (readKey(*port, code)) {
    case KeyReadEnd::Interrupted:
        printError(QStringLiteral("stopped; nothing was written"));
        return kExitInterrupted;
    case KeyReadEnd::Failed:
        printError(keys::kReaderFailureText);
        return kExitFailed;
    case KeyReadEnd::Read:
        break;
    }
    printError(keys::kKeyReadText + QStringLiteral(": ") + keys::KeyCodeText(code.data()));
    return storeKey(*store, place, code);
}

int runKeyDel(const Options& options) {
    const auto partition = number(options, kPartition, 1, 3);
    const auto slot = partition ? number(options, kSlot, 1, keys::kSlotsPerPartition) : std::nullopt;
    if (!slot) return kExitBadInput;
    const auto store = openCardStore(options);
    const auto table = store ? loadCards(*store) : nullptr;
    if (!table) return kExitBadInput;
    const int card = cardSlotOfRow(options, *table, kFreeRow);
    if (card < 0) return kExitBadInput;

    return changeCard(
        *store, card,
        [&](Card& c) {
            if (!isCardInUse(c)) return QStringLiteral("row %1 holds no card").arg(card + 1);
            KeyEntry& entry = c.keys[*partition - 1][*slot - 1];
            if (!keys::IsKeyInstalled(entry))
                return QStringLiteral("slot %1 of partition %2 holds no key; nothing was written")
                    .arg(*slot)
                    .arg(*partition);
            std::memset(static_cast<void*>(&entry), 0, sizeof entry);
            return QString();
        },
        QStringLiteral("key"), kExitFailed);
}

} // namespace k8w::cli
