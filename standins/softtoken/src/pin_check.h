// The one place a PIN is judged. The try is counted on disk before the PIN is evaluated and
// the count reset only after a success, so a counter that cannot be written means no try, and
// processes trying at once get no more tries together than the counter allows.
#pragma once

#include <optional>

#include "token_file.h"
#include "token_key.h"

namespace softtoken {

inline constexpr CK_ULONG kMinPinLength = 4;
inline constexpr CK_ULONG kMaxPinLength = 32;

// The token key the PIN unwraps; none for the delivery SO PIN of a token that was never
// initialised. Throws CkrError: CKR_PIN_LOCKED (the PIN is not evaluated),
// CKR_USER_PIN_NOT_INITIALIZED, or CKR_PIN_INCORRECT (counted).
std::optional<TokenKey> checkPin(TokenFile& file, const GostCrypto& crypto, PinRole role,
                                 const SecretBytes& pin, const SecretBytes& deliverySoPin);

}  // namespace softtoken
