#pragma once

#include "cryptoki/pkcs11.h"

namespace kelvo::plugin::cryptoki {

// The one library session of a slot and the counted requests made on it.
struct SlotSession {
    explicit SlotSession(CK_SLOT_ID slotId) : slot(slotId) {}

    CK_SESSION_HANDLE session = 0;  // 0 when none is open
    CK_SLOT_ID slot;
    bool locked = false;
    int loginCount = 0;
    int openCount = 0;
    unsigned long resets = 0;  // times the session died and the record started over
};

}  // namespace kelvo::plugin::cryptoki
