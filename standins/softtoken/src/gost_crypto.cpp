#include "gost_crypto.h"

#include <openssl/err.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <string>

namespace softtoken {

namespace {

[[noreturn]] void fail(const std::string& what) {
    ERR_clear_error();
    throw std::runtime_error(what);
}

}  // namespace

std::size_t digestSize(HashAlgorithm algorithm) {
    return algorithm == HashAlgorithm::Streebog512 ? 64 : 32;
}

GostCrypto::GostCrypto() : context_(OSSL_LIB_CTX_new()) {
    if (!context_) {
        fail("cannot create an OpenSSL library context");
    }
    gostProvider_.reset(OSSL_PROVIDER_load(context_.get(), "gostprov"));
    defaultProvider_.reset(OSSL_PROVIDER_load(context_.get(), "default"));
    if (!gostProvider_ || !defaultProvider_) {
        fail("cannot load the gostprov and default providers");
    }
    const char* names[] = {"md_gost94", "md_gost12_256", "md_gost12_512"};
    for (std::size_t i = 0; i < digests_.size(); ++i) {
        digests_[i].reset(EVP_MD_fetch(context_.get(), names[i], nullptr));
        if (!digests_[i]) {
            fail(std::string("cannot fetch digest ") + names[i]);
        }
    }
    aes256Gcm_.reset(EVP_CIPHER_fetch(context_.get(), "AES-256-GCM", nullptr));
    scrypt_.reset(EVP_KDF_fetch(context_.get(), "SCRYPT", nullptr));
    if (!aes256Gcm_ || !scrypt_) {
        fail("cannot fetch AES-256-GCM and SCRYPT");
    }

    ENGINE* engine = ENGINE_by_id("gost");
    if (!engine) {
        fail("cannot load the gost engine");
    }
    if (!ENGINE_init(engine)) {
        ENGINE_free(engine);
        fail("cannot initialise the gost engine");
    }
    engine_.reset(engine);
    // Key encodings (PKCS#8, SubjectPublicKeyInfo) need the engine's ASN.1 methods; key
    // operations are always given the engine explicitly, so nothing else is registered.
    if (!ENGINE_register_pkey_asn1_meths(engine)) {
        fail("cannot register the gost key encodings");
    }
}

const EVP_MD* GostCrypto::md(HashAlgorithm algorithm) const {
    return digests_[static_cast<std::size_t>(algorithm)].get();
}

void GostCrypto::random(unsigned char* out, std::size_t size) const {
    if (size != 0 && RAND_bytes_ex(context_.get(), out, size, 0) != 1) {
        fail("random generator failure");
    }
}

}  // namespace softtoken
