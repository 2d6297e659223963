// The mechanisms the token offers and what each one means for an operation.
#pragma once

#include <vector>

#include "gost_crypto.h"

namespace softtoken {

struct MechanismEntry {
    CK_MECHANISM_TYPE type;
    CK_MECHANISM_INFO info;
};

const std::vector<MechanismEntry>& mechanismTable();

// Digest mechanism to algorithm; an optional parameter must be the DER OID of the hash
// parameters the mechanism implies. Throws CkrError (MECHANISM_INVALID, MECHANISM_PARAM_INVALID).
HashAlgorithm digestAlgorithm(const CK_MECHANISM& mechanism);

struct SignatureMechanism {
    CK_MECHANISM_TYPE type;
    bool hashes;         // hash-and-sign; otherwise the input is the digest itself
    HashAlgorithm hash;  // digest the mechanism computes or expects
    unsigned bits;       // key size the mechanism works with
    CK_KEY_TYPE keyType;
};

// Throws CkrError(CKR_MECHANISM_INVALID) for anything but a GOST signature mechanism.
SignatureMechanism signatureMechanism(const CK_MECHANISM& mechanism);

}  // namespace softtoken
