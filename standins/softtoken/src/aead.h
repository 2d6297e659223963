// Authenticated encryption for data at rest: AES-256-GCM with a fresh random 96-bit nonce
// per message. A sealed message is nonce || ciphertext || 128-bit tag; the associated data
// is authenticated but not stored, so it binds a message to its place.
#pragma once

#include <optional>

#include "bytes.h"
#include "gost_crypto.h"
#include "secret_bytes.h"

namespace softtoken {

inline constexpr std::size_t kAeadKeySize = 32;
inline constexpr std::size_t kAeadNonceSize = 12;
inline constexpr std::size_t kAeadTagSize = 16;
inline constexpr std::size_t kAeadOverhead = kAeadNonceSize + kAeadTagSize;

// Throws std::runtime_error when OpenSSL fails.
Bytes seal(const GostCrypto& crypto, const SecretBytes& key, const SecretBytes& plain,
           const Bytes& associated);

// Nothing when the message was not sealed with this key and associated data, or was changed.
std::optional<SecretBytes> open(const GostCrypto& crypto, const SecretBytes& key,
                                const Bytes& sealed, const Bytes& associated);

}  // namespace softtoken
