// For the token's own tests that drive a Slot in their process.
#pragma once

#include "config.h"

namespace softtoken {

// A slot of serial 0000001234 with the cheapest PIN key derivation.
inline SlotConfig fastSlot() {
    SlotConfig config;
    config.serial = "0000001234";
    config.kdfCost = kMinKdfCost;
    return config;
}

}  // namespace softtoken
