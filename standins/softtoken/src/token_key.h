// The token's own random key. It seals the private objects and is never stored in clear.
// Each PIN holder (SO, user) has a key pair of its own: the private half is wrapped under a
// key derived from that PIN, and the token key is sealed to the public half. Either PIN thus
// recovers the token key, and either holder can hand a new token key to the other without
// knowing the other's PIN, so every PIN change replaces the token key. Each wrap also holds
// the file key (file_mac.h), which stays the same until C_InitToken: it authenticates the
// sealed token keys with the rest of the file, so a token key planted without a PIN fails.
#pragma once

#include <optional>

#include "gost_crypto.h"
#include "secret_bytes.h"
#include "token_state.h"

namespace softtoken {

enum class PinRole { SecurityOfficer, User };

class TokenKey {
public:
    // A new token key and file key (a new token).
    static TokenKey generate(const GostCrypto& crypto);
    // A new token key with the same file key (a PIN change).
    TokenKey rotated(const GostCrypto& crypto) const;
    // Nothing when the PIN is not the one the role's key pair was wrapped under. Throws
    // CkrError(CKR_DEVICE_ERROR) when the PIN is right but the token key does not open.
    static std::optional<TokenKey> unlock(const GostCrypto& crypto, const RoleKey& access,
                                          PinRole role, const SecretBytes& pin);

    // A new key pair for the role, wrapped under the PIN (a fresh salt; the cost is the log2
    // of scrypt's N, see kdf.h), with this key sealed to it.
    RoleKey enrol(const GostCrypto& crypto, PinRole role, const SecretBytes& pin,
                  unsigned kdfCost) const;
    // This key sealed to the role's existing key pair, which needs no PIN.
    RoleKey handTo(const GostCrypto& crypto, PinRole role, RoleKey access) const;

    const SecretBytes& bytes() const { return key_; }
    const SecretBytes& fileKey() const { return fileKey_; }

private:
    TokenKey(SecretBytes key, SecretBytes fileKey)
        : key_(std::move(key)), fileKey_(std::move(fileKey)) {}

    SecretBytes key_;
    SecretBytes fileKey_;
};

}  // namespace softtoken
