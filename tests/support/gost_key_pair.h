// GOST key pairs generated on a PKCS#11 token for tests, and the DER their public halves
// travel in outside the token.
#pragma once

#include <string>
#include <vector>

#include <p11-kit/pkcs11.h>
#include <p11-kit/pkcs11x.h>

namespace kelvo::test {

struct KeyPair {
    CK_OBJECT_HANDLE publicKey = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE privateKey = CK_INVALID_HANDLE;
};

// DER OIDs of the usual test key: GOST R 34.10-2012 256-bit on the CryptoPro A curve.
extern const std::string kParamSetCryptoProA;  // 1.2.643.2.2.35.1
extern const std::string kStreebog256Oid;      // 1.2.643.7.1.1.2.2
extern const std::string kStreebog512Oid;      // 1.2.643.7.1.1.2.3

// The templates the token module's request creator sends for a key pair. The members stay
// open so that a test can spoil one attribute before generating.
struct GostKeyTemplates {
    // Without hash parameters the Streebog of the key's length is named.
    GostKeyTemplates(const std::string& keyId, const std::string& keyParamSet, unsigned bits = 256,
                     const std::string& hashParams = {});
    GostKeyTemplates(const GostKeyTemplates&) = delete;
    GostKeyTemplates& operator=(const GostKeyTemplates&) = delete;

    CK_RV generate(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, KeyPair& pair);

    std::string id;
    std::string paramSet;
    std::string hash;
    CK_KEY_TYPE keyType;
    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
    CK_BBOOL yes = CK_TRUE;
    CK_BBOOL no = CK_FALSE;
    CK_MECHANISM_TYPE mechanism;
    std::vector<CK_ATTRIBUTE> privateTemplate;
    std::vector<CK_ATTRIBUTE> publicTemplate;
};

// A token key pair named by id on a logged-in session; throws std::runtime_error naming the
// result when the token refuses.
KeyPair generateGostKeyPair(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                            const std::string& id,
                            const std::string& paramSet = kParamSetCryptoProA, unsigned bits = 256,
                            const std::string& hashParams = {});

// DER of a dotted OID; throws std::invalid_argument for text that is none.
std::string oidDer(const std::string& dotted);

// SubjectPublicKeyInfo of a GOST key: the algorithm, a SEQUENCE of the DER parameter OIDs
// (parameter set, optionally hash parameters) and the token's CKA_VALUE (little-endian x || y)
// in an OCTET STRING.
std::string gostPublicKeyInfo(int algorithmNid, const std::string& parameterOids,
                              const std::string& publicValue);

}  // namespace kelvo::test
