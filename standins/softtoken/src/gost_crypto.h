// The token's OpenSSL backend: a library context of its own with the GOST provider for
// digests, and the GOST engine for keys and signatures.
#pragma once

#include <array>

#include "bytes.h"
#include "openssl_handles.h"

namespace softtoken {

enum class HashAlgorithm { Gost94, Streebog256, Streebog512 };

std::size_t digestSize(HashAlgorithm algorithm);

class GostCrypto {
public:
    // Throws std::runtime_error when the provider or the engine cannot be loaded.
    GostCrypto();
    GostCrypto(const GostCrypto&) = delete;
    GostCrypto& operator=(const GostCrypto&) = delete;

    const EVP_MD* md(HashAlgorithm algorithm) const;
    // Storage protection (not token mechanisms): sealing with the token key, and the key
    // derivation from PINs.
    const EVP_CIPHER* aes256Gcm() const { return aes256Gcm_.get(); }
    EVP_KDF* scrypt() const { return scrypt_.get(); }
    ENGINE* engine() const { return engine_.get(); }
    OSSL_LIB_CTX* libraryContext() const { return context_.get(); }

    // Fills the buffer from the context's DRBG; throws std::runtime_error on failure.
    void random(unsigned char* out, std::size_t size) const;

private:
    LibCtxPtr context_;
    ProviderPtr gostProvider_;
    ProviderPtr defaultProvider_;
    std::array<MdPtr, 3> digests_;
    CipherPtr aes256Gcm_;
    KdfPtr scrypt_;
    EnginePtr engine_;
};

}  // namespace softtoken
