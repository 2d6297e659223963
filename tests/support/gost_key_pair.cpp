#include "gost_key_pair.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>

namespace kelvo::test {

const std::string kParamSetCryptoProA("\x06\x07\x2A\x85\x03\x02\x02\x23\x01", 9);
const std::string kStreebog256Oid("\x06\x08\x2A\x85\x03\x07\x01\x01\x02\x02", 10);
const std::string kStreebog512Oid("\x06\x08\x2A\x85\x03\x07\x01\x01\x02\x03", 10);

namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* object) const { Free(object); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

void freeTypes(STACK_OF(ASN1_TYPE) * types) {
    sk_ASN1_TYPE_pop_free(types, ASN1_TYPE_free);
}
void freeBytes(unsigned char* bytes) {
    OPENSSL_free(bytes);
}

void require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("GOST public key: ") + what);
    }
}

// What an i2d_* call wrote into memory of OpenSSL's.
template <typename T>
std::string encoded(const T* object, int (*encode)(const T*, unsigned char**)) {
    unsigned char* raw = nullptr;
    const int length = encode(object, &raw);
    Owned<unsigned char, freeBytes> bytes(raw);
    require(length > 0, "encoding");
    return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length));
}

// SEQUENCE { the DER elements given one after another }.
std::string sequenceOf(const std::string& elements) {
    Owned<STACK_OF(ASN1_TYPE), freeTypes> items(sk_ASN1_TYPE_new_null());
    const auto* cursor = reinterpret_cast<const unsigned char*>(elements.data());
    const auto* end = cursor + elements.size();
    while (cursor < end) {
        ASN1_TYPE* item = d2i_ASN1_TYPE(nullptr, &cursor, end - cursor);
        require(item != nullptr, "parameter DER");
        sk_ASN1_TYPE_push(items.get(), item);
    }
    return encoded<STACK_OF(ASN1_TYPE)>(items.get(), i2d_ASN1_SEQUENCE_ANY);
}

}  // namespace

GostKeyTemplates::GostKeyTemplates(const std::string& keyId, const std::string& keyParamSet,
                                   unsigned bits, const std::string& hashParams)
    : id(keyId),
      paramSet(keyParamSet),
      hash(!hashParams.empty() ? hashParams
           : bits == 512       ? kStreebog512Oid
                               : kStreebog256Oid),
      keyType(bits == 512 ? CKK_GOSTR3410_512 : CKK_GOSTR3410),
      mechanism(bits == 512 ? CKM_GOSTR3410_512_KEY_PAIR_GEN : CKM_GOSTR3410_KEY_PAIR_GEN) {
    privateTemplate = {
        {CKA_ID, id.data(), id.size()},
        {CKA_CLASS, &privateClass, sizeof privateClass},
        {CKA_TOKEN, &yes, 1},
        {CKA_PRIVATE, &yes, 1},
        {CKA_UNWRAP, &yes, 1},
        {CKA_SIGN, &yes, 1},
        {CKA_KEY_TYPE, &keyType, sizeof keyType},
        {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
        {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()},
        {CKA_DERIVE, &yes, 1},
    };
    publicTemplate = {
        {CKA_ID, id.data(), id.size()},
        {CKA_CLASS, &publicClass, sizeof publicClass},
        {CKA_TOKEN, &yes, 1},
        {CKA_WRAP, &yes, 1},
        {CKA_PRIVATE, &no, 1},
        {CKA_KEY_TYPE, &keyType, sizeof keyType},
        {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
        {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()},
    };
}

CK_RV GostKeyTemplates::generate(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                                 KeyPair& pair) {
    CK_MECHANISM generation{mechanism, nullptr, 0};
    return functions->C_GenerateKeyPair(session, &generation, publicTemplate.data(),
                                        publicTemplate.size(), privateTemplate.data(),
                                        privateTemplate.size(), &pair.publicKey, &pair.privateKey);
}

KeyPair generateGostKeyPair(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                            const std::string& id, const std::string& paramSet, unsigned bits,
                            const std::string& hashParams) {
    GostKeyTemplates templates(id, paramSet, bits, hashParams);
    KeyPair pair;
    const CK_RV rv = templates.generate(functions, session, pair);
    if (rv != CKR_OK) {
        throw std::runtime_error("C_GenerateKeyPair failed with " + std::to_string(rv));
    }
    return pair;
}

std::string oidDer(const std::string& dotted) {
    Owned<ASN1_OBJECT, ASN1_OBJECT_free> object(OBJ_txt2obj(dotted.c_str(), 1));
    if (!object) {
        throw std::invalid_argument(dotted);
    }
    return encoded<ASN1_OBJECT>(object.get(), i2d_ASN1_OBJECT);
}

std::string gostPublicKeyInfo(int algorithmNid, const std::string& parameterOids,
                              const std::string& publicValue) {
    Owned<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free> octets(ASN1_OCTET_STRING_new());
    require(octets && ASN1_OCTET_STRING_set(
                          octets.get(), reinterpret_cast<const unsigned char*>(publicValue.data()),
                          static_cast<int>(publicValue.size())),
            "public value");
    const std::string key = encoded<ASN1_OCTET_STRING>(octets.get(), i2d_ASN1_OCTET_STRING);
    const std::string parameters = sequenceOf(parameterOids);

    Owned<X509_PUBKEY, X509_PUBKEY_free> info(X509_PUBKEY_new());
    Owned<ASN1_STRING, ASN1_STRING_free> sequence(ASN1_STRING_new());
    require(
        info && sequence &&
            ASN1_STRING_set(sequence.get(), parameters.data(), static_cast<int>(parameters.size())),
        "parameters");
    // The public key bits are handed over in memory of OpenSSL's.
    auto* bits = static_cast<unsigned char*>(OPENSSL_memdup(key.data(), key.size()));
    require(bits != nullptr, "out of memory");
    if (!X509_PUBKEY_set0_param(info.get(), OBJ_nid2obj(algorithmNid), V_ASN1_SEQUENCE,
                                sequence.get(), bits, static_cast<int>(key.size()))) {
        OPENSSL_free(bits);
        require(false, "algorithm");
    }
    sequence.release();  // owned by info now
    return encoded<X509_PUBKEY>(info.get(), i2d_X509_PUBKEY);
}

}  // namespace kelvo::test
