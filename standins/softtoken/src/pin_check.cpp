#include "pin_check.h"

#include <openssl/crypto.h>

#include "error.h"
#include "kdf.h"

namespace softtoken {

namespace {

bool plausible(const SecretBytes& pin) {
    return pin.size() >= kMinPinLength && pin.size() <= kMaxPinLength;
}

bool sameSecret(const SecretBytes& a, const SecretBytes& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

unsigned& failuresOf(TokenState& state, PinRole role) {
    return role == PinRole::SecurityOfficer ? state.soFailures : state.userFailures;
}

// A wrap cheaper than this process accepts is refused before any try: it would make
// guessing the PIN offline cheap, and only a planted or test file has one.
void requireKdfFloor(const TokenFile& file, const RoleKey& access) {
    const unsigned cost = access.privateKey.kdfCost;
    if (cost < kdfFloor()) {
        throw CkrError(CKR_DEVICE_ERROR, "token file " + file.path().string() +
                                             " has a PIN wrap of kdf-cost " + std::to_string(cost) +
                                             ", below the floor of " + std::to_string(kdfFloor()) +
                                             "; initialise the token again");
    }
}

}  // namespace

std::optional<TokenKey> checkPin(TokenFile& file, const GostCrypto& crypto, PinRole role,
                                 const SecretBytes& pin, const SecretBytes& deliverySoPin) {
    // The try is counted, and the count is on disk, before the PIN is evaluated: a try that
    // cannot be counted is not made, and one cut short (a killed process) stays counted.
    std::optional<RoleKey> access;
    file.modify([&](TokenState& state) {
        unsigned& failures = failuresOf(state, role);
        require(failures < kMaxPinFailures, CKR_PIN_LOCKED);
        access = role == PinRole::SecurityOfficer ? state.soKey : state.userKey;
        require(access || role == PinRole::SecurityOfficer, CKR_USER_PIN_NOT_INITIALIZED);
        if (access) {
            requireKdfFloor(file, *access);
        }
        ++failures;
    });
    std::optional<TokenKey> key;
    bool matched = false;
    if (access) {
        // A PIN of impossible length is a wrong try that costs no key derivation.
        key = plausible(pin) ? TokenKey::unlock(crypto, *access, role, pin) : std::nullopt;
        matched = key.has_value();
    } else {
        matched = sameSecret(pin, deliverySoPin);
    }
    require(matched, CKR_PIN_INCORRECT);
    if (key) {
        // The right PIN: the file must be as a PIN holder left it, sealed token keys included.
        file.authenticate(key->fileKey());
    }
    file.modify([&](TokenState& state) { failuresOf(state, role) = 0; });
    return key;
}

}  // namespace softtoken
