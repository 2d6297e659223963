#include "gost_key.h"

#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/objects.h>

#include <stdexcept>

namespace softtoken {

namespace {

// The engine's paramset control (EVP_PKEY_CTRL_GOST_PARAMSET in its sources); it takes the
// parameter set by NID, which also works for the sets its string control refuses.
constexpr int kGostParamsetCtrl = EVP_PKEY_ALG_CTRL + 1;

[[noreturn]] void fail(const char* what) {
    ERR_clear_error();
    throw std::runtime_error(what);
}

int algorithmNid(unsigned bits) {
    return bits == 512 ? NID_id_GostR3410_2012_512 : NID_id_GostR3410_2012_256;
}

Bytes publicValue(EVP_PKEY* key) {
    X509_PUBKEY* raw = nullptr;
    if (!X509_PUBKEY_set(&raw, key)) {
        fail("cannot encode the public key");
    }
    X509PubkeyPtr pubkey(raw);
    const unsigned char* bits = nullptr;
    int length = 0;
    if (!X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr, pubkey.get())) {
        fail("cannot read the public key");
    }
    // subjectPublicKey holds an OCTET STRING with the coordinates.
    Asn1OctetStringPtr octets(d2i_ASN1_OCTET_STRING(nullptr, &bits, length));
    if (!octets) {
        fail("unexpected public key encoding");
    }
    return toBytes(ASN1_STRING_get0_data(octets.get()), ASN1_STRING_length(octets.get()));
}

PkeyPtr publicKey(const ParamSet& paramSet, const Bytes& value) {
    Asn1OctetStringPtr octets(ASN1_OCTET_STRING_new());
    if (!octets || !ASN1_OCTET_STRING_set(octets.get(), data(value), value.size())) {
        fail("out of memory");
    }
    unsigned char* encoded = nullptr;
    const int encodedLength = i2d_ASN1_OCTET_STRING(octets.get(), &encoded);
    if (encodedLength <= 0) {
        fail("cannot encode the public key");
    }
    // AlgorithmIdentifier parameters: SEQUENCE { publicKeyParamSet }.
    Bytes parameters = "\x30" + Bytes(1, static_cast<char>(paramSet.der.size())) + paramSet.der;
    Asn1StringPtr sequence(ASN1_STRING_new());
    X509PubkeyPtr pubkey(X509_PUBKEY_new());
    if (!sequence || !pubkey ||
        !ASN1_STRING_set(sequence.get(), parameters.data(), parameters.size())) {
        OPENSSL_free(encoded);
        fail("out of memory");
    }
    if (!X509_PUBKEY_set0_param(pubkey.get(), OBJ_nid2obj(algorithmNid(paramSet.bits)),
                                V_ASN1_SEQUENCE, sequence.get(), encoded, encodedLength)) {
        OPENSSL_free(encoded);
        fail("cannot build the public key");
    }
    sequence.release();  // owned by pubkey now
    // A hand-built X509_PUBKEY carries no decoded key; a DER round trip decodes it.
    unsigned char* der = nullptr;
    const int derLength = i2d_X509_PUBKEY(pubkey.get(), &der);
    const unsigned char* in = der;
    ERR_set_mark();
    PkeyPtr key(derLength > 0 ? d2i_PUBKEY(nullptr, &in, derLength) : nullptr);
    ERR_pop_to_mark();
    OPENSSL_free(der);
    if (!key) {
        fail("cannot decode the public key");
    }
    return key;
}

// The engine keeps GOST keys as EC_KEY, whose private scalar it frees with BN_clear_free.
EC_KEY* ecKey(EVP_PKEY* key) {
    auto* ec = static_cast<EC_KEY*>(EVP_PKEY_get0(key));
    if (!ec) {
        fail("not a GOST key of the engine");
    }
    return ec;
}

// A signing key made from the scalar directly: parameters from the engine, then the scalar
// set into them. A DER round trip would leave copies of the scalar in buffers OpenSSL frees
// without wiping.
PkeyPtr privateKey(const GostCrypto& crypto, const ParamSet& paramSet, const SecretBytes& scalar) {
    PkeyCtxPtr context(EVP_PKEY_CTX_new_id(algorithmNid(paramSet.bits), crypto.engine()));
    if (!context || EVP_PKEY_paramgen_init(context.get()) <= 0 ||
        EVP_PKEY_CTX_ctrl(context.get(), -1, EVP_PKEY_OP_PARAMGEN, kGostParamsetCtrl, paramSet.nid,
                          nullptr) <= 0) {
        fail("cannot set up the GOST key parameters");
    }
    EVP_PKEY* raw = nullptr;
    if (EVP_PKEY_paramgen(context.get(), &raw) <= 0) {
        fail("cannot make the GOST key parameters");
    }
    PkeyPtr key(raw);
    const BignumPtr value(BN_secure_new());
    if (!value || !BN_bin2bn(scalar.data(), static_cast<int>(scalar.size()), value.get()) ||
        EC_KEY_set_private_key(ecKey(key.get()), value.get()) != 1) {
        fail("cannot load the private key");
    }
    return key;
}

}  // namespace

KeyPairMaterial generateKeyPair(const GostCrypto& crypto, const ParamSet& paramSet) {
    PkeyCtxPtr context(EVP_PKEY_CTX_new_id(algorithmNid(paramSet.bits), crypto.engine()));
    if (!context || EVP_PKEY_keygen_init(context.get()) <= 0 ||
        EVP_PKEY_CTX_ctrl(context.get(), -1, EVP_PKEY_OP_KEYGEN, kGostParamsetCtrl, paramSet.nid,
                          nullptr) <= 0) {
        fail("cannot set up GOST key generation");
    }
    EVP_PKEY* raw = nullptr;
    if (EVP_PKEY_keygen(context.get(), &raw) <= 0) {
        fail("GOST key generation failed");
    }
    PkeyPtr key(raw);

    KeyPairMaterial material;
    material.publicValue = publicValue(key.get());
    const BIGNUM* scalar = EC_KEY_get0_private_key(ecKey(key.get()));
    material.privateScalar.resize(paramSet.bits / 8);
    if (!scalar || BN_bn2binpad(scalar, material.privateScalar.data(),
                                static_cast<int>(material.privateScalar.size())) <= 0) {
        fail("cannot read the private key");
    }
    return material;
}

Bytes signDigest(const GostCrypto& crypto, const ParamSet& paramSet,
                 const SecretBytes& privateScalar, const Bytes& digest) {
    PkeyPtr key = privateKey(crypto, paramSet, privateScalar);
    PkeyCtxPtr context(EVP_PKEY_CTX_new(key.get(), crypto.engine()));
    std::size_t length = 0;
    if (!context || EVP_PKEY_sign_init(context.get()) <= 0 ||
        EVP_PKEY_sign(context.get(), nullptr, &length, data(digest), digest.size()) <= 0) {
        fail("cannot set up GOST signing");
    }
    Bytes signature(length, '\0');
    if (EVP_PKEY_sign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                      data(digest), digest.size()) <= 0) {
        fail("GOST signing failed");
    }
    signature.resize(length);
    return signature;
}

bool verifyDigest(const GostCrypto& crypto, const ParamSet& paramSet, const Bytes& publicValue,
                  const Bytes& digest, const Bytes& signature) {
    PkeyPtr key = publicKey(paramSet, publicValue);
    PkeyCtxPtr context(EVP_PKEY_CTX_new(key.get(), crypto.engine()));
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0) {
        fail("cannot set up GOST verification");
    }
    const int result = EVP_PKEY_verify(context.get(), data(signature), signature.size(),
                                       data(digest), digest.size());
    ERR_clear_error();
    return result == 1;
}

}  // namespace softtoken
