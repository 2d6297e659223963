#include "digest.h"

#include <openssl/err.h>

#include <stdexcept>

namespace softtoken {

namespace {

// GOST R 34.11-94 with the CryptoPro parameters of the empty message, as published; the
// engine's implementation mishandles the zero-length case.
const char* const kGost94Empty = "981e5f3ca30c841487830f84fb433e13ac1101569b9c13584ac483234cd656c0";

}  // namespace

Digest::Digest(const GostCrypto& crypto, HashAlgorithm algorithm)
    : algorithm_(algorithm), context_(EVP_MD_CTX_new()) {
    if (!context_ || !EVP_DigestInit_ex2(context_.get(), crypto.md(algorithm), nullptr)) {
        ERR_clear_error();
        throw std::runtime_error("digest initialisation failed");
    }
}

void Digest::update(const unsigned char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    sawData_ = true;
    if (!EVP_DigestUpdate(context_.get(), data, size)) {
        ERR_clear_error();
        throw std::runtime_error("digest update failed");
    }
}

Bytes Digest::finish() {
    if (algorithm_ == HashAlgorithm::Gost94 && !sawData_) {
        return fromHex(kGost94Empty);
    }
    Bytes out(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (!EVP_DigestFinal_ex(context_.get(), reinterpret_cast<unsigned char*>(out.data()),
                            &length)) {
        ERR_clear_error();
        throw std::runtime_error("digest finalisation failed");
    }
    out.resize(length);
    return out;
}

}  // namespace softtoken
