#include "cards/card_parts.h"

#include "cards/card.h"

#include <cstring>

namespace k8w {
namespace {

// The card with the parts written by their own calls cleared.
Card ownFields(const Card& card) {
    Card own = card;
    own.progDate = 0;
    own.progId = 0;
    own.prevProgId = 0;
    std::memset(own.keys, 0, sizeof own.keys);
    return own;
}

} // namespace

bool SameOwnFields(const Card& a, const Card& b) {
    const Card ownA = ownFields(a);
    const Card ownB = ownFields(b);
    return std::memcmp(&ownA, &ownB, sizeof(Card)) == 0;
}

bool SameKeySlot(const Card& a, const Card& b, int group, int entry) {
    if (group < 0 || group >= kKeyGroups || entry < 0 || entry >= kKeysPerGroup) return false;
    return std::memcmp(&a.keys[group][entry], &b.keys[group][entry], sizeof(KeyEntry)) == 0;
}

} // namespace k8w
