// Key pairs and signatures on the token, checked independently with OpenSSL.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "gost_key_pair.h"
#include "gost_verifier.h"
#include "softtoken_fixture.h"

namespace softtoken {
namespace {

struct ParamSetCase {
    const char* name;
    std::string der;
    unsigned bits;
};

std::vector<ParamSetCase> allParamSets() {
    return {
        {"tc26-256-A", unhex("06092a8503070102010101"), 256},
        {"tc26-256-B", unhex("06092a8503070102010102"), 256},
        {"tc26-256-C", unhex("06092a8503070102010103"), 256},
        {"tc26-256-D", unhex("06092a8503070102010104"), 256},
        {"cryptopro-A", unhex("06072a850302022301"), 256},
        {"cryptopro-B", unhex("06072a850302022302"), 256},
        {"cryptopro-C", unhex("06072a850302022303"), 256},
        {"cryptopro-XchA", unhex("06072a850302022400"), 256},
        {"cryptopro-XchB", unhex("06072a850302022401"), 256},
        {"tc26-512-A", unhex("06092a8503070102010201"), 512},
        {"tc26-512-B", unhex("06092a8503070102010202"), 512},
        {"tc26-512-C", unhex("06092a8503070102010203"), 512},
    };
}

using kelvo::test::GostKeyTemplates;
using kelvo::test::KeyPair;
using KeyTemplates = GostKeyTemplates;

class SignatureTest : public ::testing::Test {
protected:
    void SetUp() override {
        provisionToken(library.functions());
        ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK);
        session = std::make_unique<ScopedSession>(library.functions(), 0);
        ASSERT_EQ(session->login(), CKR_OK);
    }

    CK_RV generate(KeyTemplates& templates, KeyPair& pair) {
        return templates.generate(library.functions(), session->handle(), pair);
    }

    KeyPair generate(const std::string& paramSet, unsigned bits, const std::string& id = "key") {
        return kelvo::test::generateGostKeyPair(library.functions(), session->handle(), id,
                                                paramSet, bits);
    }

    // One C_Sign, or C_SignUpdate with parts of `part` bytes and C_SignFinal.
    std::string sign(CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key, std::string data,
                     std::size_t part = 0) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        EXPECT_EQ(library->C_SignInit(session->handle(), &mechanism, key), CKR_OK);
        std::string signature(128, '\0');
        CK_ULONG length = signature.size();
        auto* bytes = (CK_BYTE_PTR)data.data();
        for (std::size_t at = 0; part != 0 && at < data.size(); at += part) {
            EXPECT_EQ(library->C_SignUpdate(session->handle(), bytes + at,
                                            std::min(part, data.size() - at)),
                      CKR_OK);
        }
        EXPECT_EQ(part != 0 ? library->C_SignFinal(session->handle(), (CK_BYTE_PTR)signature.data(),
                                                   &length)
                            : library->C_Sign(session->handle(), bytes, data.size(),
                                              (CK_BYTE_PTR)signature.data(), &length),
                  CKR_OK);
        signature.resize(length);
        return signature;
    }

    CK_RV verifyOnToken(CK_MECHANISM_TYPE type, CK_OBJECT_HANDLE key, std::string data,
                        std::string signature) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        EXPECT_EQ(library->C_VerifyInit(session->handle(), &mechanism, key), CKR_OK);
        return library->C_Verify(session->handle(), (CK_BYTE_PTR)data.data(), data.size(),
                                 (CK_BYTE_PTR)signature.data(), signature.size());
    }

    std::string value(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
        return attributeValue(library.functions(), session->handle(), object, type);
    }

    TemporaryTokenDirectory directory;
    SoftTokenLibrary library;
    std::unique_ptr<ScopedSession> session;
    GostVerifier verifier;
};

TEST_F(SignatureTest, KeyPairForEveryParamSetSignsVerifiably) {
    for (const auto& paramSet : allParamSets()) {
        SCOPED_TRACE(paramSet.name);
        const KeyPair pair = generate(paramSet.der, paramSet.bits);
        const std::string publicValue = value(pair.publicKey, CKA_VALUE);
        ASSERT_EQ(publicValue.size(), paramSet.bits / 4);
        EXPECT_EQ(value(pair.publicKey, CKA_GOSTR3410_PARAMS), paramSet.der);
        EXPECT_EQ(value(pair.privateKey, CKA_ID), "key");

        const std::string digest = verifier.digest(
            paramSet.bits == 512 ? "md_gost12_512" : "md_gost12_256", paramSet.name);
        const CK_MECHANISM_TYPE raw = paramSet.bits == 512 ? CKM_GOSTR3410_512 : CKM_GOSTR3410;
        std::string signature = sign(raw, pair.privateKey, digest);
        ASSERT_EQ(signature.size(), paramSet.bits / 4);
        EXPECT_TRUE(verifier.verify(paramSet.der, publicValue, digest, signature));
        EXPECT_EQ(verifyOnToken(raw, pair.publicKey, digest, signature), CKR_OK);
        signature[5] ^= 1;
        EXPECT_FALSE(verifier.verify(paramSet.der, publicValue, digest, signature));
        EXPECT_EQ(verifyOnToken(raw, pair.publicKey, digest, signature), CKR_SIGNATURE_INVALID);
    }
}

TEST_F(SignatureTest, HashAndSignSingleAndMultiPart) {
    const auto sets = allParamSets();
    const struct {
        CK_MECHANISM_TYPE mechanism;
        const char* digest;
        ParamSetCase paramSet;
    } cases[] = {
        {CKM_GOSTR3410_WITH_GOSTR3411_2012_256, "md_gost12_256", sets[0]},
        {CKM_GOSTR3410_WITH_GOSTR3411_2012_512, "md_gost12_512", sets[9]},
        {CKM_GOSTR3410_WITH_GOSTR3411_94, "md_gost94", sets[4]},
    };
    const std::string data(4321, 'x');
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.digest);
        const KeyPair pair = generate(entry.paramSet.der, entry.paramSet.bits);
        const std::string publicValue = value(pair.publicKey, CKA_VALUE);
        const std::string digest = verifier.digest(entry.digest, data);
        for (const auto& signature : {sign(entry.mechanism, pair.privateKey, data),
                                      sign(entry.mechanism, pair.privateKey, data, 1000)}) {
            EXPECT_TRUE(verifier.verify(entry.paramSet.der, publicValue, digest, signature));
            EXPECT_EQ(verifyOnToken(entry.mechanism, pair.publicKey, data, signature), CKR_OK);
        }
    }
}

// GOST R 34.10-2012, appendix A.1 (the test curve of GOST R 34.10-2001). The published
// signature verifies only with the digest read as little-endian and s before r, the layout
// the token's signatures are checked against above.
TEST(SignatureLayout, StandardExampleVerifiesOnlyInPkcs11Layout) {
    GostVerifier verifier;
    const std::string testParamSet = unhex("06072a850302022300");
    const std::string x = unhex("7f2b49e270db6d90d8595bec458b50c58585ba1d4e9b788f6689dbd8e56fd80b");
    const std::string y = unhex("26f1b489d6701dd185c8413a977b3cbbaf64d1c593d26627dffb101a87ff77da");
    const std::string e = unhex("2dfbc1b372d89a1188c09c52e0eec61fce52032ab1022e8e67ece6672b043ee5");
    const std::string r = unhex("41aa28d2f1ab148280cd9ed56feda41974053554a42767b83ad043fd39dc0493");
    const std::string s = unhex("01456c64ba4642a1653c235a98a60249bcd6d3f746b631df928014f6c5bf9c40");
    const std::string publicValue = reversed(x) + reversed(y);

    EXPECT_TRUE(verifier.verify(testParamSet, publicValue, reversed(e), s + r));
    EXPECT_FALSE(verifier.verify(testParamSet, publicValue, e, s + r));
    EXPECT_FALSE(verifier.verify(testParamSet, publicValue, reversed(e), r + s));
}

TEST_F(SignatureTest, PrivateKeyNeverLeavesTheToken) {
    const KeyPair pair = generate(allParamSets()[0].der, 256);
    CK_ATTRIBUTE attribute{CKA_VALUE, nullptr, 0};
    EXPECT_EQ(library->C_GetAttributeValue(session->handle(), pair.privateKey, &attribute, 1),
              CKR_ATTRIBUTE_SENSITIVE);
    EXPECT_EQ(attribute.ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(value(pair.privateKey, CKA_SENSITIVE), std::string(1, CK_TRUE));
    EXPECT_EQ(value(pair.privateKey, CKA_EXTRACTABLE), std::string(1, CK_FALSE));
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE extractable{CKA_EXTRACTABLE, &yes, 1};
    EXPECT_EQ(library->C_SetAttributeValue(session->handle(), pair.privateKey, &extractable, 1),
              CKR_ATTRIBUTE_READ_ONLY);
}

TEST_F(SignatureTest, RefusesBadKeyTemplates) {
    const std::string tc26A = allParamSets()[0].der;
    const std::string tc26B = allParamSets()[1].der;
    const std::string tc26_512 = allParamSets()[9].der;
    const std::string testCurve = unhex("06072a850302022300");
    const struct {
        const char* what;
        const std::string& paramSet;
        unsigned bits;
        std::function<void(KeyTemplates&)> spoil;
        CK_RV expected;
    } cases[] = {
        {"public hash parameters are optional", tc26A, 256,
         [](auto& t) { t.publicTemplate.pop_back(); }, CKR_OK},
        {"no parameter set", tc26A, 256,
         [](auto& t) {
             t.publicTemplate.erase(t.publicTemplate.begin() + 6);
             t.privateTemplate.erase(t.privateTemplate.begin() + 7);
         },
         CKR_TEMPLATE_INCOMPLETE},
        {"512-bit set, 256-bit generation", tc26_512, 512,
         [](auto& t) { t.mechanism = CKM_GOSTR3410_KEY_PAIR_GEN; }, CKR_TEMPLATE_INCONSISTENT},
        {"256-bit set, 512-bit key type", tc26A, 256,
         [](auto& t) { t.keyType = CKK_GOSTR3410_512; }, CKR_TEMPLATE_INCONSISTENT},
        {"public class for the private half", tc26A, 256,
         [](auto& t) { t.privateClass = CKO_PUBLIC_KEY; }, CKR_TEMPLATE_INCONSISTENT},
        {"halves on different sets", tc26A, 256,
         [&](auto& t) { t.privateTemplate[7].pValue = const_cast<char*>(tc26B.data()); },
         CKR_TEMPLATE_INCONSISTENT},
        {"a private key is always private", tc26A, 256,
         [](auto& t) { t.privateTemplate[3].pValue = &t.no; }, CKR_TEMPLATE_INCONSISTENT},
        {"the test curve", testCurve, 256, [](auto&) {}, CKR_ATTRIBUTE_VALUE_INVALID},
        {"CKA_TOKEN is one byte", tc26A, 256, [](auto& t) { t.privateTemplate[2].ulValueLen = 4; },
         CKR_ATTRIBUTE_VALUE_INVALID},
    };
    KeyPair pair;
    for (const auto& entry : cases) {
        KeyTemplates t("k", entry.paramSet, entry.bits);
        entry.spoil(t);
        EXPECT_EQ(generate(t, pair), entry.expected) << entry.what;
    }

    KeyTemplates t("k", tc26A, 256);
    CK_MECHANISM mechanism{t.mechanism, nullptr, 0};
    EXPECT_EQ(library->C_GenerateKeyPair(session->handle(), &mechanism, nullptr, 1,
                                         t.privateTemplate.data(), t.privateTemplate.size(),
                                         &pair.publicKey, &pair.privateKey),
              CKR_ARGUMENTS_BAD);
    ASSERT_EQ(library->C_Logout(session->handle()), CKR_OK);
    EXPECT_EQ(generate(t, pair), CKR_USER_NOT_LOGGED_IN);
}

TEST_F(SignatureTest, SigningRulesAndErrors) {
    const KeyPair pair = generate(allParamSets()[0].der, 256);
    CK_MECHANISM raw{CKM_GOSTR3410, nullptr, 0};
    CK_MECHANISM raw512{CKM_GOSTR3410_512, nullptr, 0};
    EXPECT_EQ(library->C_SignInit(session->handle(), &raw512, pair.privateKey),
              CKR_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(library->C_SignInit(session->handle(), &raw, pair.publicKey),
              CKR_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(library->C_SignInit(session->handle(), &raw, 0x7777), CKR_KEY_HANDLE_INVALID);

    ASSERT_EQ(library->C_SignInit(session->handle(), &raw, pair.privateKey), CKR_OK);
    EXPECT_EQ(library->C_SignInit(session->handle(), &raw, pair.privateKey), CKR_OPERATION_ACTIVE);
    std::string digest(32, '\x11');
    CK_ULONG length = 0;
    EXPECT_EQ(library->C_Sign(session->handle(), (CK_BYTE_PTR)digest.data(), digest.size(), nullptr,
                              &length),
              CKR_OK);
    EXPECT_EQ(length, 64u);
    std::string signature(10, '\0');
    length = signature.size();
    EXPECT_EQ(library->C_Sign(session->handle(), (CK_BYTE_PTR)digest.data(), digest.size(),
                              (CK_BYTE_PTR)signature.data(), &length),
              CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 64u);
    // Still active after both; a digest of the wrong length ends it.
    signature.resize(64);
    EXPECT_EQ(library->C_Sign(session->handle(), (CK_BYTE_PTR)digest.data(), 31,
                              (CK_BYTE_PTR)signature.data(), &length),
              CKR_DATA_LEN_RANGE);
    EXPECT_EQ(library->C_Sign(session->handle(), (CK_BYTE_PTR)digest.data(), digest.size(),
                              (CK_BYTE_PTR)signature.data(), &length),
              CKR_OPERATION_NOT_INITIALIZED);
    // Lengths near 2^64 must not wrap a sum or be taken for an allocation size.
    const CK_ULONG huge = ~CK_ULONG{0} - 15;
    ASSERT_EQ(library->C_SignInit(session->handle(), &raw, pair.privateKey), CKR_OK);
    EXPECT_EQ(library->C_Sign(session->handle(), (CK_BYTE_PTR)digest.data(), huge,
                              (CK_BYTE_PTR)signature.data(), &length),
              CKR_DATA_LEN_RANGE);
    ASSERT_EQ(library->C_SignInit(session->handle(), &raw, pair.privateKey), CKR_OK);
    ASSERT_EQ(library->C_SignUpdate(session->handle(), (CK_BYTE_PTR)digest.data(), 16), CKR_OK);
    EXPECT_EQ(library->C_SignUpdate(session->handle(), (CK_BYTE_PTR)digest.data(), huge),
              CKR_DATA_LEN_RANGE);
    CK_MECHANISM check{CKM_GOSTR3410, nullptr, 0};
    ASSERT_EQ(library->C_VerifyInit(session->handle(), &check, pair.publicKey), CKR_OK);
    EXPECT_EQ(library->C_Verify(session->handle(), (CK_BYTE_PTR)digest.data(), digest.size(),
                                (CK_BYTE_PTR)signature.data(), huge),
              CKR_SIGNATURE_LEN_RANGE);
}

}  // namespace
}  // namespace softtoken
