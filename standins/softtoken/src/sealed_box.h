// Sealing to a public key (X25519, HKDF-SHA256, AES-256-GCM): anyone holding the public key
// can seal, only the private key opens. It lets one PIN holder hand a new token key to the
// other without knowing the other's PIN.
#pragma once

#include <optional>

#include "bytes.h"
#include "gost_crypto.h"
#include "secret_bytes.h"

namespace softtoken {

inline constexpr std::size_t kBoxKeySize = 32;
// Ephemeral public key, then the AEAD message.
inline constexpr std::size_t kBoxOverhead = 32 + 28;

struct BoxKeyPair {
    SecretBytes privateKey;  // raw X25519 private key
    Bytes publicKey;
};

// Throws std::runtime_error when OpenSSL fails.
BoxKeyPair generateBoxKeyPair(const GostCrypto& crypto);

// Throws std::runtime_error for an unusable public key or when OpenSSL fails.
Bytes sealToPublic(const GostCrypto& crypto, const Bytes& publicKey, const SecretBytes& plain,
                   const Bytes& associated);

// Nothing when the message was not sealed to this key pair with this associated data.
std::optional<SecretBytes> openWithPrivate(const GostCrypto& crypto, const BoxKeyPair& keys,
                                           const Bytes& sealed, const Bytes& associated);

}  // namespace softtoken
