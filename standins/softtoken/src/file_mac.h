// The token file's integrity: HMAC-SHA256 under the file key over everything in the file but
// the PIN failure counters, which are written before any PIN is known. The file key is random
// per C_InitToken and kept only inside the PIN holders' wraps, so whoever can write the file
// but knows no PIN cannot plant a token key of their own, nor change a public object, an
// object number or the next number, without the next login noticing.
#pragma once

#include "token_state.h"

namespace softtoken {

inline constexpr std::size_t kFileMacSize = 32;

// Throws std::runtime_error when OpenSSL fails.
Bytes fileMac(const SecretBytes& fileKey, const TokenState& state);

bool macMatches(const SecretBytes& fileKey, const TokenState& state);

}  // namespace softtoken
