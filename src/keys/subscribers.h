#pragma once
#include <QString>
#include <QStringList>

namespace k8w {
struct KeyEntry;
}

namespace k8w::keys {

constexpr int kSubscriberCount = 32;  // 1 responsible person, 2 trusted person, 3-32 others
constexpr int kSlotsPerPartition = 6;

// A slot holds a key only with state 1; any other state is free.
bool IsKeyInstalled(const KeyEntry& slot);

// The subscribers the key dialogs offer for one partition's six slots:
// 1-32 in order, without those already holding a key there.
QStringList SubscriberChoices(const KeyEntry* partitionSlots);
// The number in a choice of that list ("Абонент %d"); 0 when there is none.
int SubscriberOfChoice(const QString& choice);
// A subscriber as the key table names it.
QString SubscriberLabel(int subscriber);

} // namespace k8w::keys
