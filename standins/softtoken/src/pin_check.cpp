#include "pin_check.h"

#include <openssl/crypto.h>

#include "error.h"

namespace softtoken {

namespace {

bool plausible(const SecretBytes& pin) {
    return pin.size() >= kMinPinLength && pin.size() <= kMaxPinLength;
}

bool sameSecret(const SecretBytes& a, const SecretBytes& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::optional<TokenKey> checkPin(TokenFile& file, const GostCrypto& crypto, PinRole role,
                                 const SecretBytes& pin, const SecretBytes& deliverySoPin) {
    const bool securityOfficer = role == PinRole::SecurityOfficer;
    std::optional<TokenKey> key;
    bool matched = false;
    file.modify([&](TokenState& state) {
        unsigned& failures = securityOfficer ? state.soFailures : state.userFailures;
        require(failures < kMaxPinFailures, CKR_PIN_LOCKED);
        const std::optional<WrappedKey>& wrapped = securityOfficer ? state.soKey : state.userKey;
        if (wrapped) {
            // A PIN of impossible length is a wrong try that costs no key derivation.
            key = plausible(pin) ? TokenKey::unwrap(crypto, *wrapped, role, pin) : std::nullopt;
            matched = key.has_value();
        } else {
            require(securityOfficer, CKR_USER_PIN_NOT_INITIALIZED);
            matched = sameSecret(pin, deliverySoPin);
        }
        failures = matched ? 0 : failures + 1;
    });
    require(matched, CKR_PIN_INCORRECT);
    return key;
}

}  // namespace softtoken
