#include "gost_verifier.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "gost_key_pair.h"

namespace softtoken {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};

}  // namespace

std::string unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

std::string reversed(std::string bytes) {
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

GostVerifier::GostVerifier() : engine_(ENGINE_by_id("gost")) {
    if (!engine_ || !ENGINE_init(engine_)) {
        throw std::runtime_error("gost engine unavailable");
    }
    ENGINE_register_pkey_asn1_meths(engine_);
}

GostVerifier::~GostVerifier() {
    ENGINE_finish(engine_);
    ENGINE_free(engine_);
}

std::string GostVerifier::digest(const char* name, const std::string& data) const {
    const EVP_MD* md = ENGINE_get_digest(engine_, OBJ_sn2nid(name));
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || !EVP_Digest(data.data(), data.size(), out, &length, md, engine_)) {
        throw std::runtime_error(std::string("digest failed: ") + name);
    }
    return std::string(reinterpret_cast<char*>(out), length);
}

bool GostVerifier::verify(const std::string& paramSet, const std::string& publicValue,
                          const std::string& digest, const std::string& signature) const {
    const int algorithm =
        publicValue.size() == 128 ? NID_id_GostR3410_2012_512 : NID_id_GostR3410_2012_256;
    const std::string spki = kelvo::test::gostPublicKeyInfo(algorithm, paramSet, publicValue);
    const auto* in = reinterpret_cast<const unsigned char*>(spki.data());
    std::unique_ptr<EVP_PKEY, PkeyFree> key(d2i_PUBKEY(nullptr, &in, spki.size()));
    if (!key) {
        ERR_clear_error();
        throw std::runtime_error("cannot rebuild the public key");
    }
    std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> context(EVP_PKEY_CTX_new(key.get(), engine_));
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0) {
        throw std::runtime_error("cannot set up verification");
    }
    const int result = EVP_PKEY_verify(
        context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
        reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
    ERR_clear_error();
    return result == 1;
}

}  // namespace softtoken
