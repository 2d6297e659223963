#include "token_key_pair_fixture.h"

#include <openssl/obj_mac.h>

#include <stdexcept>

#include "independent_gost.h"

namespace keyengine_test {

// name, parameter set, hash parameters, generation, key type, key NID, default signature NID
const GostFamily& gost2001() {
    static const GostFamily f{"gost2001",
                              "1.2.643.2.2.35.1",
                              "1.2.643.2.2.30.1",
                              CKM_GOSTR3410_KEY_PAIR_GEN,
                              CKK_GOSTR3410,
                              NID_id_GostR3410_2001,
                              NID_id_GostR3411_94_with_GostR3410_2001};
    return f;
}

const GostFamily& gost2012_256() {
    static const GostFamily f{"gost2012_256",
                              "1.2.643.7.1.2.1.1.1",
                              "1.2.643.7.1.1.2.2",
                              CKM_GOSTR3410_KEY_PAIR_GEN,
                              CKK_GOSTR3410,
                              NID_id_GostR3410_2012_256,
                              NID_id_tc26_signwithdigest_gost3410_2012_256};
    return f;
}

const GostFamily& gost2012_256CryptoPro() {
    static const GostFamily f{"gost2012_256_cryptopro",
                              "1.2.643.2.2.35.1",
                              "1.2.643.7.1.1.2.2",
                              CKM_GOSTR3410_KEY_PAIR_GEN,
                              CKK_GOSTR3410,
                              NID_id_GostR3410_2012_256,
                              NID_id_tc26_signwithdigest_gost3410_2012_256};
    return f;
}

const GostFamily& gost2012_512() {
    static const GostFamily f{"gost2012_512",
                              "1.2.643.7.1.2.1.2.1",
                              "1.2.643.7.1.1.2.3",
                              CKM_GOSTR3410_512_KEY_PAIR_GEN,
                              CKK_GOSTR3410_512,
                              NID_id_GostR3410_2012_512,
                              NID_id_tc26_signwithdigest_gost3410_2012_512};
    return f;
}

void TokenKeyPairTest::SetUp() {
    softtoken::provisionToken(functions());
    ASSERT_EQ(functions()->C_Initialize(nullptr), CKR_OK);
    session_ = std::make_unique<softtoken::ScopedSession>(functions(), 0);
    ASSERT_EQ(session_->login(), CKR_OK);
}

void TokenKeyPairTest::TearDown() {
    session_.reset();
}

KeyPairHandles TokenKeyPairTest::generate(const GostFamily& family) {
    CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_KEY_TYPE keyType = family.keyType;
    CK_BBOOL yes = CK_TRUE;
    std::string paramSet = oidDer(family.paramSet);
    std::string hashParams = oidDer(family.hashParams);
    std::string id = family.name;
    std::vector<CK_ATTRIBUTE> publicTemplate = {
        {CKA_CLASS, &publicClass, sizeof publicClass},
        {CKA_KEY_TYPE, &keyType, sizeof keyType},
        {CKA_ID, id.data(), id.size()},
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
        {CKA_GOSTR3411_PARAMS, hashParams.data(), hashParams.size()},
    };
    std::vector<CK_ATTRIBUTE> privateTemplate = {
        {CKA_CLASS, &privateClass, sizeof privateClass},
        {CKA_KEY_TYPE, &keyType, sizeof keyType},
        {CKA_ID, id.data(), id.size()},
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_PRIVATE, &yes, sizeof yes},
        {CKA_SIGN, &yes, sizeof yes},
        {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
        {CKA_GOSTR3411_PARAMS, hashParams.data(), hashParams.size()},
    };
    CK_MECHANISM mechanism{family.generation, nullptr, 0};
    KeyPairHandles pair{};
    const CK_RV rv = functions()->C_GenerateKeyPair(
        session(), &mechanism, publicTemplate.data(), publicTemplate.size(), privateTemplate.data(),
        privateTemplate.size(), &pair.publicKey, &pair.privateKey);
    if (rv != CKR_OK) {
        throw std::runtime_error("C_GenerateKeyPair failed with " + std::to_string(rv));
    }
    return pair;
}

CK_OBJECT_HANDLE TokenKeyPairTest::createObject(std::vector<CK_ATTRIBUTE> pattern) {
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    const CK_RV rv =
        functions()->C_CreateObject(session(), pattern.data(), pattern.size(), &object);
    if (rv != CKR_OK) {
        throw std::runtime_error("C_CreateObject failed with " + std::to_string(rv));
    }
    return object;
}

std::string TokenKeyPairTest::attribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) const {
    return softtoken::attributeValue(functions(), session(), object, type);
}

CK_ULONG TokenKeyPairTest::sessionCount() const {
    return softtoken::tokenInfo(functions()).ulSessionCount;
}

}  // namespace keyengine_test
