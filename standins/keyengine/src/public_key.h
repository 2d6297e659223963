// The public half of a token key pair as an OpenSSL key of the gost engine.
#pragma once

#include "gost_key_pair.h"
#include "openssl_handles.h"

namespace rtengine {

// Decodes a SubjectPublicKeyInfo assembled from the pair's algorithm, parameter set and
// public value; needs the gost engine's key encodings registered. Null on failure, with the
// OpenSSL error queue left as it was.
PkeyPtr decodePublicKey(const GostKeyPair& pair);

}  // namespace rtengine
