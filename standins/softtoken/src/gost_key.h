// GOST R 34.10 key pairs and signatures through the GOST engine.
//
// Signatures follow PKCS#11: the digest is read as a little-endian number and the result is
// s then r, each big-endian and as long as the curve order.
#pragma once

#include "bytes.h"
#include "gost_crypto.h"
#include "paramsets.h"
#include "secret_bytes.h"

namespace softtoken {

struct KeyPairMaterial {
    Bytes publicValue;  // little-endian x || y, as inside a certificate's subjectPublicKey
    // The private scalar, big-endian and as long as the curve order; kept inside the token
    // only, and never passed through an encoding whose buffers OpenSSL would not wipe.
    SecretBytes privateScalar;
};

KeyPairMaterial generateKeyPair(const GostCrypto& crypto, const ParamSet& paramSet);

// Throws std::runtime_error when the key cannot be built or the engine fails.
Bytes signDigest(const GostCrypto& crypto, const ParamSet& paramSet,
                 const SecretBytes& privateScalar, const Bytes& digest);

bool verifyDigest(const GostCrypto& crypto, const ParamSet& paramSet, const Bytes& publicValue,
                  const Bytes& digest, const Bytes& signature);

}  // namespace softtoken
