// The digest a signature operation works on: computed from the data for hash-and-sign
// mechanisms, or taken as given (and length-checked) for the raw ones.
#pragma once

#include <optional>

#include "digest.h"
#include "mechanisms.h"

namespace softtoken {

class SignatureInput {
public:
    SignatureInput(const GostCrypto& crypto, const SignatureMechanism& mechanism);

    // Multi-part input. Hash-and-sign streams through the digest; raw mechanisms collect at
    // most one digest's worth (more gives CKR_DATA_LEN_RANGE).
    void update(const unsigned char* data, std::size_t size);
    // Single-part input: the digest for exactly this data.
    Bytes digestOf(const unsigned char* data, std::size_t size);
    // Ends multi-part input.
    Bytes finish();

    bool started() const { return started_; }
    std::size_t signatureSize() const { return mechanism_.bits / 4; }
    const SignatureMechanism& mechanism() const { return mechanism_; }

private:
    Bytes checkedRaw(Bytes digest) const;

    SignatureMechanism mechanism_;
    std::optional<Digest> digest_;
    Bytes raw_;
    bool started_ = false;
};

}  // namespace softtoken
