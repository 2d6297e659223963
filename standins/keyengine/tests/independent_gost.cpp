#include "independent_gost.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <stdexcept>

#include "gost_key_pair.h"
#include "gost_verifier.h"

namespace keyengine_test {

namespace {

// The gost engine's key encodings must be registered before any GOST key is decoded.
void requireGostEncodings() {
    static const softtoken::GostVerifier verifier;
}

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* object) const { Free(object); }
};

}  // namespace

Pkey gostPublicKey(int algorithmNid, const std::string& paramSet, const std::string& value) {
    requireGostEncodings();
    const std::string info = kelvo::test::gostPublicKeyInfo(algorithmNid, paramSet, value);
    const auto* in = reinterpret_cast<const unsigned char*>(info.data());
    ERR_set_mark();
    Pkey key(d2i_PUBKEY(nullptr, &in, static_cast<long>(info.size())));
    ERR_pop_to_mark();
    return key;
}

std::string publicValue(EVP_PKEY* key) {
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    const unsigned char* in = der;
    std::unique_ptr<X509_PUBKEY, Freer<X509_PUBKEY, X509_PUBKEY_free>> pubkey(
        length > 0 ? d2i_X509_PUBKEY(nullptr, &in, length) : nullptr);
    OPENSSL_free(der);
    const unsigned char* bits = nullptr;
    int bitsLength = 0;
    if (!pubkey || !X509_PUBKEY_get0_param(nullptr, &bits, &bitsLength, nullptr, pubkey.get())) {
        throw std::runtime_error("key has no public encoding");
    }
    std::unique_ptr<ASN1_OCTET_STRING, Freer<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>> octets(
        d2i_ASN1_OCTET_STRING(nullptr, &bits, bitsLength));
    if (!octets) {
        throw std::runtime_error("subjectPublicKey is not an OCTET STRING");
    }
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(octets.get())),
                       ASN1_STRING_length(octets.get()));
}

}  // namespace keyengine_test
