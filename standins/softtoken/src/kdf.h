// Keys derived from PINs: scrypt (RFC 7914) with N = 2^cost, r = 8, p = 1 and a random salt.
// The cost is a setting of the token's configuration; each wrapped key records its own.
#pragma once

#include "bytes.h"
#include "gost_crypto.h"
#include "secret_bytes.h"

namespace softtoken {

inline constexpr unsigned kMinKdfCost = 4;  // 16 KiB: for suites that log in thousands of times
// The least a real token's configuration may ask for (32 MiB); only kTestKdfVariable set to 1
// lets the configuration go down to kMinKdfCost.
inline constexpr unsigned kRealTokenMinKdfCost = 15;
inline constexpr const char* kTestKdfVariable = "ZOLVEX_SOFTTOKEN_TEST_KDF";
inline constexpr unsigned kMaxKdfCost = 20;  // 1 GiB
// 128 MiB of memory per derivation, the minimum OWASP recommends for scrypt.
inline constexpr unsigned kDefaultKdfCost = 17;
inline constexpr std::size_t kKdfSaltSize = 16;

// The least cost this process accepts, for the configuration and for the wraps it opens:
// kRealTokenMinKdfCost unless kTestKdfVariable is 1.
unsigned kdfFloor();

// A 32-byte key. Throws std::invalid_argument for a cost out of range and std::runtime_error
// when OpenSSL fails.
SecretBytes derivePinKey(const GostCrypto& crypto, const SecretBytes& pin, const Bytes& salt,
                         unsigned cost);

}  // namespace softtoken
