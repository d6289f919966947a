#pragma once
// The fields of a card as members of its text form (JSON and CSV), under the
// record's own names and in the record's order.
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace k8w {

struct Card;

enum class MemberKind {
    Text,      // a zero-terminated CP1251 field of `size` bytes
    Number,    // an unsigned little-endian number of `size` bytes, 0..`max`
    Flags,     // a bit set of `size` bytes; only the bits of `max` may be set
    ByteList,  // `size` one-byte list indexes; `allowed` says which
    TextPair,  // two text fields of `size` bytes each, one after the other
    Date,      // a day count; null when 0
    Checksum,  // an unsigned 16-bit checksum as four uppercase hexadecimal digits
};

struct CardMember {
    const char* name;
    MemberKind kind;
    std::size_t offset;
    std::size_t size;
    std::uint32_t max = 0;
    // ByteList: whether `value` may stand at position `index` (0-based).
    bool (*allowed)(int index, int value) = nullptr;
    // Part of the configuration a device holds (its image carries it).
    bool inImage = false;
};

// Every member in the record's order; the key slots are not among them.
const std::vector<CardMember>& CardMembers();
const CardMember* FindCardMember(QStringView name);

// A number, bit set or list byte as stored; the caller knows the kind.
std::uint32_t MemberNumber(const Card& card, const CardMember& member, std::size_t index = 0);
void SetMemberNumber(Card& card, const CardMember& member, std::uint32_t value, std::size_t index = 0);
double MemberDate(const Card& card, const CardMember& member);
void SetMemberDate(Card& card, const CardMember& member, double value);
const char* MemberBytes(const Card& card, const CardMember& member);
char* MemberBytes(Card& card, const CardMember& member);

// Whether any reserved byte of a card (or its image slots) is not zero.
bool HasReservedBytes(const Card& card);
// Zeroes the reserved bytes and the image slots of a card.
void ClearReservedBytes(Card& card);

} // namespace k8w
