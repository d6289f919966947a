#pragma once
#include <QString>

#include <array>

namespace k8w {

// Loop types are the item index of a loop's type list.
constexpr int kLoopOff = 0;
constexpr int kLoopEntry = 4;        // loop 1 only; index 4 is a separator on loops 2-8
constexpr int kLoopPassThrough = 5;  // loops 2-8 only; index 5 is a separator on loop 1
constexpr int kLoopControl = 6;
constexpr int kEditorLoops = 5;

// Types and partitions of loops 1-5 as the editor lists show them.
struct LoopSettings {
    std::array<int, kEditorLoops> type{};
    std::array<int, kEditorLoops> part{};
};

// The rules applied whenever a loop type changes. Returns whether the entry
// delay field is enabled (loop 1 is an entry loop).
bool ApplyLoopTypeRules(LoopSettings& loops);
// Partition chosen on loop 1: an entry loop stays in partition 0.
void ApplyLoop1PartitionRule(LoopSettings& loops);
// Partition chosen on loop `loop` (1-based, 2-5): a pass-through loop stays in 0.
void ApplyPassThroughPartitionRule(LoopSettings& loops, int loop);

struct ProfileText {
    const char* item;
    const char* description;
};

// Items of the Out1 and Out2 profile lists with the description shown below
// the output tabs.
extern const std::array<ProfileText, 10> kOutputProfileTexts;
// Items of the buzzer profile list with their descriptions.
extern const std::array<ProfileText, 3> kBuzzerProfileTexts;

// Description of a profile index of an output (buzzer = false) or of the
// buzzer; empty for an index outside the table.
QString ProfileDescription(bool buzzer, int index);

// Default firmware update settings ("Настройки по-умолчанию").
inline const QString kDefaultUpdateHost = QStringLiteral("update.k8w.local");
inline const QString kDefaultUpdatePort = QStringLiteral("25001");
inline const QString kDefaultParamsPort = QStringLiteral("25002");

// Integer value of a field text: an optional sign and decimal digits that fit
// a 32-bit integer; anything else, an empty text included, gives the fallback.
long long TextToIntDef(const QString& text, long long fallback);

} // namespace k8w
