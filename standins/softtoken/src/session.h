// One open session and the operations active in it.
#pragma once

#include <optional>
#include <vector>

#include "digest.h"
#include "paramsets.h"
#include "secret_bytes.h"
#include "signature_input.h"

namespace softtoken {

struct FindOperation {
    std::vector<CK_OBJECT_HANDLE> handles;
    std::size_t next = 0;
};

struct DigestOperation {
    Digest digest;
    bool multiPart = false;
};

struct SignOperation {
    SignatureInput input;
    const ParamSet* paramSet;
    SecretBytes privateKey;  // the scalar, copied so that the object may go meanwhile
};

struct VerifyOperation {
    SignatureInput input;
    const ParamSet* paramSet;
    Bytes publicValue;
};

struct Session {
    CK_SLOT_ID slot;
    CK_FLAGS flags;
    std::optional<FindOperation> find;
    std::optional<DigestOperation> digest;
    std::optional<SignOperation> sign;
    std::optional<VerifyOperation> verify;

    bool readWrite() const { return (flags & CKF_RW_SESSION) != 0; }
};

}  // namespace softtoken
