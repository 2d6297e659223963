// The link from an OpenSSL key to its private key on the token, kept in the key's ex_data
// so that it lives and dies with the key (and keeps the session state alive meanwhile).
#pragma once

#include <openssl/evp.h>
#include <p11-kit/pkcs11.h>

#include <memory>

#include "token_session.h"

namespace rtengine {

struct KeyBinding {
    std::shared_ptr<const TokenSession> session;
    CK_OBJECT_HANDLE privateKey;
    CK_MECHANISM_TYPE signMechanism;
    std::size_t signatureSize;
};

// False when OpenSSL cannot store it; the key is then left without a binding.
bool attachBinding(EVP_PKEY* key, const KeyBinding& binding);

// Null for keys that were not made by the engine.
const KeyBinding* findBinding(const EVP_PKEY* key);

}  // namespace rtengine
