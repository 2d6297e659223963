#pragma once

#include <openssl/x509.h>

#include "ssl/crypto_public_key.h"

namespace kelvo::plugin::ssl {

// The subjectPublicKey bits and algorithm OID of a certificate's key. For GOST keys the
// value is the whole DER OCTET STRING that wraps the key.
class PublicKey : public crypto::PublicKey {
public:
    // A null key leaves every string empty.
    explicit PublicKey(const X509_PUBKEY* key);
};

}  // namespace kelvo::plugin::ssl
