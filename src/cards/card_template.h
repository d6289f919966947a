#pragma once
#include "cards/card.h"

namespace k8w {

// The new-card template made from the card just stored by the editor: its
// settings without the device's identity, PINs, SMS settings, partitions,
// keys and bookkeeping past byte 582.
Card MakeCardTemplate(const Card& card);

} // namespace k8w
