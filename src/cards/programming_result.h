#pragma once
#include <cstdint>

namespace k8w {

struct Card;

// What a successful write changes in its card: the date, the old result ID
// moved to the previous one, the image's checksum as the new one.
void RecordProgramming(Card& card, std::uint16_t imageChecksum, double programmedAt);

} // namespace k8w
