#include "key_pair_factory.h"

#include "error.h"
#include "gost_key.h"
#include "object_policy.h"
#include "paramsets.h"

namespace softtoken {

namespace {

// The value both templates agree on (either may omit it); CKR_TEMPLATE_INCONSISTENT
// when they disagree.
const Bytes* agreed(const AttributeMap& first, const AttributeMap& second, CK_ATTRIBUTE_TYPE type) {
    const auto a = first.find(type);
    const auto b = second.find(type);
    if (a != first.end() && b != second.end()) {
        require(a->second == b->second, CKR_TEMPLATE_INCONSISTENT);
    }
    if (a != first.end()) {
        return &a->second;
    }
    return b != second.end() ? &b->second : nullptr;
}

void requireClass(const AttributeMap& pattern, CK_OBJECT_CLASS expected) {
    if (pattern.count(CKA_CLASS) != 0) {
        require(ulongOf(pattern, CKA_CLASS) == expected, CKR_TEMPLATE_INCONSISTENT);
    }
}

}  // namespace

KeyPairObjects generateKeyPairObjects(const GostCrypto& crypto, const CK_MECHANISM& mechanism,
                                      const AttributeMap& publicTemplate,
                                      const AttributeMap& privateTemplate) {
    CK_KEY_TYPE keyType;
    unsigned bits;
    switch (mechanism.mechanism) {
        case CKM_GOSTR3410_KEY_PAIR_GEN:
            keyType = CKK_GOSTR3410;
            bits = 256;
            break;
        case CKM_GOSTR3410_512_KEY_PAIR_GEN:
            keyType = CKK_GOSTR3410_512;
            bits = 512;
            break;
        default:
            throw CkrError(CKR_MECHANISM_INVALID);
    }
    requireClass(publicTemplate, CKO_PUBLIC_KEY);
    requireClass(privateTemplate, CKO_PRIVATE_KEY);
    for (const AttributeMap* pattern : {&publicTemplate, &privateTemplate}) {
        rejectTokenOnlyAttributes(*pattern);
        require(pattern->count(CKA_VALUE) == 0, CKR_ATTRIBUTE_READ_ONLY);
        if (pattern->count(CKA_KEY_TYPE) != 0) {
            require(ulongOf(*pattern, CKA_KEY_TYPE) == keyType, CKR_TEMPLATE_INCONSISTENT);
        }
    }
    // The key is always sensitive and never leaves the token. It is also always private: it
    // is kept sealed with the token key, which only a login unlocks.
    require(boolOr(privateTemplate, CKA_SENSITIVE, true), CKR_TEMPLATE_INCONSISTENT);
    require(boolOr(privateTemplate, CKA_PRIVATE, true), CKR_TEMPLATE_INCONSISTENT);
    require(!boolOr(privateTemplate, CKA_EXTRACTABLE, false), CKR_TEMPLATE_INCONSISTENT);

    const Bytes* paramsDer = agreed(publicTemplate, privateTemplate, CKA_GOSTR3410_PARAMS);
    require(paramsDer != nullptr, CKR_TEMPLATE_INCOMPLETE);
    const ParamSet* paramSet = findParamSet(*paramsDer);
    require(paramSet != nullptr, CKR_ATTRIBUTE_VALUE_INVALID);
    require(paramSet->bits == bits, CKR_TEMPLATE_INCONSISTENT);
    const Bytes* hashDer = agreed(publicTemplate, privateTemplate, CKA_GOSTR3411_PARAMS);
    if (hashDer != nullptr) {
        require(findHashParams(*hashDer) != nullptr, CKR_ATTRIBUTE_VALUE_INVALID);
    }

    const KeyPairMaterial material = generateKeyPair(crypto, *paramSet);

    const AttributeMap common = {
        {CKA_KEY_TYPE, ulongValue(keyType)},
        {CKA_GOSTR3410_PARAMS, paramSet->der},
        {CKA_GOSTR3411_PARAMS, hashDer ? *hashDer : paramSet->defaultHashDer},
        {CKA_LOCAL, boolValue(true)},
        {CKA_KEY_GEN_MECHANISM, ulongValue(mechanism.mechanism)},
    };

    KeyPairObjects objects;
    AttributeMap& pub = objects.publicKey.attributes;
    pub = publicTemplate;
    pub[CKA_CLASS] = ulongValue(CKO_PUBLIC_KEY);
    pub[CKA_VALUE] = material.publicValue;
    for (const auto& [type, value] : common) {
        pub[type] = value;
    }
    for (CK_ATTRIBUTE_TYPE type : {CKA_ID, CKA_SUBJECT, CKA_START_DATE, CKA_END_DATE}) {
        setDefault(pub, type, Bytes());
    }
    setDefault(pub, CKA_VERIFY, boolValue(true));
    for (CK_ATTRIBUTE_TYPE type : {CKA_ENCRYPT, CKA_WRAP, CKA_DERIVE, CKA_TRUSTED}) {
        setDefault(pub, type, boolValue(false));
    }
    addStorageDefaults(pub, false);

    AttributeMap& priv = objects.privateKey.attributes;
    priv = privateTemplate;
    priv[CKA_CLASS] = ulongValue(CKO_PRIVATE_KEY);
    for (const auto& [type, value] : common) {
        priv[type] = value;
    }
    priv[CKA_SENSITIVE] = boolValue(true);
    priv[CKA_ALWAYS_SENSITIVE] = boolValue(true);
    priv[CKA_EXTRACTABLE] = boolValue(false);
    priv[CKA_NEVER_EXTRACTABLE] = boolValue(true);
    for (CK_ATTRIBUTE_TYPE type : {CKA_ID, CKA_SUBJECT, CKA_START_DATE, CKA_END_DATE}) {
        setDefault(priv, type, Bytes());
    }
    setDefault(priv, CKA_SIGN, boolValue(true));
    for (CK_ATTRIBUTE_TYPE type : {CKA_DECRYPT, CKA_UNWRAP, CKA_DERIVE, CKA_SIGN_RECOVER,
                                   CKA_ALWAYS_AUTHENTICATE, CKA_WRAP_WITH_TRUSTED}) {
        setDefault(priv, type, boolValue(false));
    }
    addStorageDefaults(priv, true);
    objects.privateKey.secret = material.privateScalar;
    return objects;
}

}  // namespace softtoken
