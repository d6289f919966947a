#pragma once
// The parts of a card that change by calls of their own: the programming
// result (written after a device is programmed) and each key slot (written
// from the key table). A save of the card keeps them as the base has them.

namespace k8w {

struct Card;

// Equal in everything a save of the card writes: all but the result and the keys.
bool SameOwnFields(const Card& a, const Card& b);
// Equal in one key slot.
bool SameKeySlot(const Card& a, const Card& b, int group, int entry);

} // namespace k8w
