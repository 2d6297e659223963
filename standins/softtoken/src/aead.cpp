#include "aead.h"

#include <openssl/err.h>

#include <climits>
#include <stdexcept>

namespace softtoken {

namespace {

[[noreturn]] void fail(const char* what) {
    ERR_clear_error();
    throw std::runtime_error(what);
}

int intSize(std::size_t size) {
    if (size > INT_MAX) {
        throw std::length_error("message too long to seal");
    }
    return static_cast<int>(size);
}

CipherCtxPtr cipherContext(const GostCrypto& crypto, const SecretBytes& key,
                           const unsigned char* nonce, bool encrypt) {
    if (key.size() != kAeadKeySize) {
        throw std::invalid_argument("sealing key of the wrong size");
    }
    CipherCtxPtr context(EVP_CIPHER_CTX_new());
    if (!context || !EVP_CipherInit_ex2(context.get(), crypto.aes256Gcm(), key.data(), nonce,
                                        encrypt ? 1 : 0, nullptr)) {
        fail("cannot set up AES-256-GCM");
    }
    return context;
}

bool addAssociated(EVP_CIPHER_CTX* context, const Bytes& associated) {
    int ignored = 0;
    return associated.empty() || EVP_CipherUpdate(context, nullptr, &ignored, data(associated),
                                                  intSize(associated.size())) == 1;
}

}  // namespace

Bytes seal(const GostCrypto& crypto, const SecretBytes& key, const SecretBytes& plain,
           const Bytes& associated) {
    Bytes sealed(kAeadOverhead + plain.size(), '\0');
    auto* out = reinterpret_cast<unsigned char*>(sealed.data());
    crypto.random(out, kAeadNonceSize);
    const CipherCtxPtr context = cipherContext(crypto, key, out, true);
    int written = 0;
    int finalWritten = 0;
    if (!addAssociated(context.get(), associated) ||
        !EVP_CipherUpdate(context.get(), out + kAeadNonceSize, &written, plain.data(),
                          intSize(plain.size())) ||
        !EVP_CipherFinal_ex(context.get(), out + kAeadNonceSize + written, &finalWritten) ||
        !EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_GET_TAG, kAeadTagSize,
                             out + kAeadNonceSize + plain.size())) {
        fail("AES-256-GCM sealing failed");
    }
    return sealed;
}

std::optional<SecretBytes> open(const GostCrypto& crypto, const SecretBytes& key,
                                const Bytes& sealed, const Bytes& associated) {
    if (sealed.size() < kAeadOverhead) {
        return std::nullopt;
    }
    const unsigned char* in = data(sealed);
    const std::size_t length = sealed.size() - kAeadOverhead;
    const CipherCtxPtr context = cipherContext(crypto, key, in, false);
    SecretBytes plain(length);
    int written = 0;
    int finalWritten = 0;
    // The tag is an input here; OpenSSL's prototype is not const-correct.
    auto* tag = const_cast<unsigned char*>(in + kAeadNonceSize + length);
    const bool opened =
        addAssociated(context.get(), associated) &&
        EVP_CipherUpdate(context.get(), plain.data(), &written, in + kAeadNonceSize,
                         intSize(length)) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_SET_TAG, kAeadTagSize, tag) == 1 &&
        EVP_CipherFinal_ex(context.get(), plain.data() + written, &finalWritten) == 1;
    ERR_clear_error();
    if (!opened) {
        return std::nullopt;
    }
    return plain;
}

}  // namespace softtoken
