// What the engine needs to know about a GOST key pair on the token, read from its two
// objects.
#pragma once

#include <p11-kit/pkcs11.h>

#include <optional>
#include <string>

#include "token_session.h"

namespace rtengine {

struct GostKeyPair {
    int algorithmNid;                 // NID_id_GostR3410_2001, _2012_256 or _2012_512
    std::string paramSet;             // DER OID of the curve parameters
    std::string publicValue;          // little-endian x || y
    CK_OBJECT_HANDLE privateKey;      //
    CK_MECHANISM_TYPE signMechanism;  // raw signing of a digest
    std::size_t signatureSize;        // bytes of s || r
};

// Empty unless publicKey is a GOST public key, privateKey a private key of the same type,
// and the public value has the size the parameter set implies.
std::optional<GostKeyPair> readGostKeyPair(const TokenSession& session, CK_OBJECT_HANDLE privateKey,
                                           CK_OBJECT_HANDLE publicKey);

}  // namespace rtengine
