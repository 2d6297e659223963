// PIN hashing: PINs are kept as salted PBKDF2-HMAC-SHA256 values, never in clear.
#pragma once

#include "gost_crypto.h"
#include "token_state.h"

namespace softtoken {

PinRecord hashPin(const GostCrypto& crypto, const std::string& pin);
bool pinMatches(const GostCrypto& crypto, const PinRecord& record, const std::string& pin);

}  // namespace softtoken
