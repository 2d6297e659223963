// The token's own random key. It seals the private objects; the token file keeps it only
// wrapped, once under a key derived from the SO PIN and once under one derived from the user
// PIN, so that either PIN recovers it and a PIN change only re-wraps it.
#pragma once

#include <optional>

#include "gost_crypto.h"
#include "secret_bytes.h"
#include "token_state.h"

namespace softtoken {

enum class PinRole { SecurityOfficer, User };

class TokenKey {
public:
    static TokenKey generate(const GostCrypto& crypto);
    // Nothing when the PIN is not the one the key was wrapped under for this role.
    static std::optional<TokenKey> unwrap(const GostCrypto& crypto, const WrappedKey& wrapped,
                                          PinRole role, const SecretBytes& pin);

    // A fresh salt each time; the cost is the log2 of scrypt's N (see kdf.h).
    WrappedKey wrap(const GostCrypto& crypto, PinRole role, const SecretBytes& pin,
                    unsigned kdfCost) const;

    const SecretBytes& bytes() const { return key_; }

private:
    explicit TokenKey(SecretBytes key) : key_(std::move(key)) {}

    SecretBytes key_;
};

}  // namespace softtoken
