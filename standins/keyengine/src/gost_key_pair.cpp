#include "gost_key_pair.h"

#include <openssl/obj_mac.h>
#include <p11-kit/pkcs11x.h>

namespace rtengine {

namespace {

// DER of the 512-bit parameter set arc 1.2.643.7.1.2.1.2 without its last arc.
const std::string kParamSet512Prefix("\x06\x09\x2a\x85\x03\x07\x01\x02\x01\x02", 10);
// DER of 1.2.643.2.2.30.1, the GOST R 34.11-94 hash parameters that mark a 2001 key.
const std::string kGost94HashParams("\x06\x07\x2a\x85\x03\x02\x02\x1e\x01", 9);

bool isOid(const std::string& der) {
    return der.size() > 2 && der[0] == '\x06' &&
           static_cast<unsigned char>(der[1]) == der.size() - 2;
}

// The key length in bits; CKA_KEY_TYPE decides, the parameter set when the token does not
// tell.
std::optional<unsigned> keyBits(std::optional<CK_ULONG> keyType, const std::string& paramSet) {
    if (keyType) {
        switch (*keyType) {
            case CKK_GOSTR3410:
                return 256u;
            case CKK_GOSTR3410_512:
                return 512u;
            default:
                return std::nullopt;
        }
    }
    return paramSet.compare(0, kParamSet512Prefix.size(), kParamSet512Prefix) == 0 ? 512u : 256u;
}

}  // namespace

std::optional<GostKeyPair> readGostKeyPair(const TokenSession& session, CK_OBJECT_HANDLE privateKey,
                                           CK_OBJECT_HANDLE publicKey) {
    if (session.ulongAttribute(publicKey, CKA_CLASS) != CKO_PUBLIC_KEY ||
        session.ulongAttribute(privateKey, CKA_CLASS) != CKO_PRIVATE_KEY) {
        return std::nullopt;
    }
    const auto paramSet = session.attribute(publicKey, CKA_GOSTR3410_PARAMS);
    const auto publicValue = session.attribute(publicKey, CKA_VALUE);
    if (!paramSet || !isOid(*paramSet) || !publicValue) {
        return std::nullopt;
    }
    const auto keyType = session.ulongAttribute(publicKey, CKA_KEY_TYPE);
    const auto bits = keyBits(keyType, *paramSet);
    if (!bits || publicValue->size() != *bits / 4) {
        return std::nullopt;
    }
    const auto privateType = session.ulongAttribute(privateKey, CKA_KEY_TYPE);
    if (privateType && keyType && *privateType != *keyType) {
        return std::nullopt;
    }

    GostKeyPair pair{};
    pair.paramSet = *paramSet;
    pair.publicValue = *publicValue;
    pair.privateKey = privateKey;
    pair.signatureSize = *bits / 4;
    if (*bits == 512) {
        pair.algorithmNid = NID_id_GostR3410_2012_512;
        pair.signMechanism = CKM_GOSTR3410_512;
    } else {
        const auto hashParams = session.attribute(publicKey, CKA_GOSTR3411_PARAMS);
        pair.algorithmNid =
            hashParams == kGost94HashParams ? NID_id_GostR3410_2001 : NID_id_GostR3410_2012_256;
        pair.signMechanism = CKM_GOSTR3410;
    }
    return pair;
}

}  // namespace rtengine
