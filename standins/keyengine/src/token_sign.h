// The private-key operation of engine keys: the digest goes to the token for signing.
#pragma once

#include <openssl/evp.h>

namespace rtengine {

// EVP_PKEY_METHOD sign callback. The token's raw GOST signature (s || r, each big-endian,
// over the digest read as a little-endian number) is the gost engine's own signature
// layout, so its bytes are handed over unchanged.
int signOnToken(EVP_PKEY_CTX* context, unsigned char* signature, std::size_t* signatureSize,
                const unsigned char* digest, std::size_t digestSize);

}  // namespace rtengine
