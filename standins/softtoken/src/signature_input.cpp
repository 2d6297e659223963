#include "signature_input.h"

#include "error.h"

namespace softtoken {

SignatureInput::SignatureInput(const GostCrypto& crypto, const SignatureMechanism& mechanism)
    : mechanism_(mechanism) {
    if (mechanism_.hashes) {
        digest_.emplace(crypto, mechanism_.hash);
    }
}

void SignatureInput::update(const unsigned char* data, std::size_t size) {
    started_ = true;
    if (digest_) {
        digest_->update(data, size);
        return;
    }
    // Written so that no length, however large, can wrap the sum.
    require(size <= digestSize(mechanism_.hash) - raw_.size(), CKR_DATA_LEN_RANGE);
    raw_.append(reinterpret_cast<const char*>(data), size);
}

Bytes SignatureInput::digestOf(const unsigned char* data, std::size_t size) {
    if (digest_) {
        digest_->update(data, size);
        return digest_->finish();
    }
    // Checked before copying: a caller's length is not trusted to be allocatable.
    require(size == digestSize(mechanism_.hash), CKR_DATA_LEN_RANGE);
    return toBytes(data, size);
}

Bytes SignatureInput::finish() {
    return digest_ ? digest_->finish() : checkedRaw(raw_);
}

Bytes SignatureInput::checkedRaw(Bytes digest) const {
    require(digest.size() == digestSize(mechanism_.hash), CKR_DATA_LEN_RANGE);
    return digest;
}

}  // namespace softtoken
