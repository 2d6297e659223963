#include "independent_gost.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <stdexcept>

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

// A hand-built X509_PUBKEY carries no decoded key; a DER round trip decodes it.
Pkey reencoded(X509_PUBKEY* publicKey) {
    requireGostEncodings();
    unsigned char* der = nullptr;
    const int length = i2d_X509_PUBKEY(publicKey, &der);
    const unsigned char* in = der;
    ERR_set_mark();
    Pkey key(length > 0 ? d2i_PUBKEY(nullptr, &in, length) : nullptr);
    ERR_pop_to_mark();
    OPENSSL_free(der);
    return key;
}

}  // namespace

std::string oidDer(const std::string& dotted) {
    std::unique_ptr<ASN1_OBJECT, Freer<ASN1_OBJECT, ASN1_OBJECT_free>> object(
        OBJ_txt2obj(dotted.c_str(), 1));
    if (!object) {
        throw std::invalid_argument(dotted);
    }
    const int length = i2d_ASN1_OBJECT(object.get(), nullptr);
    std::string der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_ASN1_OBJECT(object.get(), &out);
    return der;
}

Pkey gostPublicKey(int algorithmNid, const std::string& paramSet, const std::string& value) {
    requireGostEncodings();
    std::unique_ptr<ASN1_OCTET_STRING, Freer<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>> octets(
        ASN1_OCTET_STRING_new());
    ASN1_OCTET_STRING_set(octets.get(), reinterpret_cast<const unsigned char*>(value.data()),
                          static_cast<int>(value.size()));
    unsigned char* encoded = nullptr;
    const int encodedLength = i2d_ASN1_OCTET_STRING(octets.get(), &encoded);

    // AlgorithmIdentifier parameters: SEQUENCE { publicKeyParamSet }.
    const std::string parameters =
        "\x30" + std::string(1, static_cast<char>(paramSet.size())) + paramSet;
    ASN1_STRING* sequence = ASN1_STRING_new();
    ASN1_STRING_set(sequence, parameters.data(), static_cast<int>(parameters.size()));
    std::unique_ptr<X509_PUBKEY, Freer<X509_PUBKEY, X509_PUBKEY_free>> pubkey(X509_PUBKEY_new());
    if (!X509_PUBKEY_set0_param(pubkey.get(), OBJ_nid2obj(algorithmNid), V_ASN1_SEQUENCE, sequence,
                                encoded, encodedLength)) {
        ASN1_STRING_free(sequence);
        OPENSSL_free(encoded);
        return nullptr;
    }
    return reencoded(pubkey.get());
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
