// OpenSSL-side helper for the tests that do not go through the engine: GOST public keys
// rebuilt straight from a token's attributes.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace keyengine_test {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

// A verification key made by the gost engine from the algorithm, the DER parameter set and
// the little-endian x || y; null when OpenSSL refuses it.
Pkey gostPublicKey(int algorithmNid, const std::string& paramSet, const std::string& value);

}  // namespace keyengine_test
