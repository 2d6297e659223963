#include "token_key_pair_fixture.h"

#include <openssl/obj_mac.h>

#include <stdexcept>

namespace keyengine_test {

// name, parameter set, hash parameters, key length, key NID, default signature NID
const GostFamily& gost2001() {
    static const GostFamily f{
        "gost2001", "1.2.643.2.2.35.1",    "1.2.643.2.2.30.1",
        256,        NID_id_GostR3410_2001, NID_id_GostR3411_94_with_GostR3410_2001};
    return f;
}

const GostFamily& gost2012_256() {
    static const GostFamily f{"gost2012_256",
                              "1.2.643.7.1.2.1.1.1",
                              "1.2.643.7.1.1.2.2",
                              256,
                              NID_id_GostR3410_2012_256,
                              NID_id_tc26_signwithdigest_gost3410_2012_256};
    return f;
}

const GostFamily& gost2012_256CryptoPro() {
    static const GostFamily f{
        "gost2012_256_cryptopro",  "1.2.643.2.2.35.1",
        "1.2.643.7.1.1.2.2",       256,
        NID_id_GostR3410_2012_256, NID_id_tc26_signwithdigest_gost3410_2012_256};
    return f;
}

const GostFamily& gost2012_512() {
    static const GostFamily f{"gost2012_512",
                              "1.2.643.7.1.2.1.2.1",
                              "1.2.643.7.1.1.2.3",
                              512,
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
    return kelvo::test::generateGostKeyPair(functions(), session(), family.name,
                                            kelvo::test::oidDer(family.paramSet), family.bits,
                                            kelvo::test::oidDer(family.hashParams));
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
