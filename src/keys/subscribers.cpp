#include "keys/subscribers.h"

#include "cards/card.h"

namespace k8w::keys {
namespace {

const QString kSubscriberPrefix = QStringLiteral("Абонент ");

} // namespace

bool IsKeyInstalled(const KeyEntry& slot) { return slot.state == 1; }

QStringList SubscriberChoices(const KeyEntry* partitionSlots) {
    bool taken[kSubscriberCount + 1] = {};
    for (int s = 0; s < kSlotsPerPartition; ++s) {
        const KeyEntry& slot = partitionSlots[s];
        if (IsKeyInstalled(slot) && slot.subscriber >= 1 && slot.subscriber <= kSubscriberCount)
            taken[slot.subscriber] = true;
    }
    QStringList choices;
    for (int n = 1; n <= kSubscriberCount; ++n) {
        if (taken[n]) continue;
        // The dialogs' own spelling of subscriber 1.
        if (n == 1) choices << QStringLiteral("Абонент 1 (Ответсвенный)");
        else if (n == 2) choices << QStringLiteral("Абонент 2 (Дов. лицо)");
        else choices << kSubscriberPrefix + QString::number(n);
    }
    return choices;
}

int SubscriberOfChoice(const QString& choice) {
    if (!choice.startsWith(kSubscriberPrefix)) return 0;
    QStringView rest = QStringView(choice).mid(kSubscriberPrefix.size()).trimmed();
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits].isDigit()) ++digits;
    return rest.left(digits).toInt();
}

QString SubscriberLabel(int subscriber) {
    if (subscriber == 1) return QStringLiteral("Абонент 1 (Ответственный)");
    if (subscriber == 2) return QStringLiteral("Абонент 2 (Дов. лицо)");
    return kSubscriberPrefix + QString::number(subscriber);
}

} // namespace k8w::keys
