// Streaming GOST digest that keeps constant memory whatever the input length.
#pragma once

#include "bytes.h"
#include "gost_crypto.h"

namespace softtoken {

class Digest {
public:
    Digest(const GostCrypto& crypto, HashAlgorithm algorithm);

    void update(const unsigned char* data, std::size_t size);
    // Ends the computation; the object cannot be updated afterwards.
    Bytes finish();

    HashAlgorithm algorithm() const { return algorithm_; }
    std::size_t size() const { return digestSize(algorithm_); }

private:
    HashAlgorithm algorithm_;
    MdCtxPtr context_;
    bool sawData_ = false;
};

}  // namespace softtoken
