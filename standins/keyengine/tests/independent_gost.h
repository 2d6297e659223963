// OpenSSL-side helpers for the tests that do not go through the engine: GOST public keys
// rebuilt straight from a token's attributes, and the public value read back from a key.
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

// The x || y a key encodes in its SubjectPublicKeyInfo (what CKA_VALUE holds on a token).
std::string publicValue(EVP_PKEY* key);

}  // namespace keyengine_test
