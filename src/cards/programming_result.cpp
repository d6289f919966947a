#include "cards/programming_result.h"

#include "cards/card.h"

namespace k8w {

void RecordProgramming(Card& card, std::uint16_t imageChecksum, double programmedAt) {
    card.progDate = programmedAt;
    card.prevProgId = card.progId;
    card.progId = imageChecksum;
}

} // namespace k8w
