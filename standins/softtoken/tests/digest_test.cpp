// Digests on the token: published vectors, single- and multi-part, and the buffer rules.
#include <gtest/gtest.h>

#include <memory>

#include "gost_key_pair.h"
#include "gost_verifier.h"
#include "softtoken_fixture.h"

namespace softtoken {
namespace {

// GOST R 34.11-2012 example messages: M1 is ASCII, M2 is Windows-1251 text.
const std::string kM1 = "012345678901234567890123456789012345678901234567890123456789012";
const std::string kM2 = unhex(
    "d1e520e2e5f2f0e82c20d1f2f0e8e1eee6e820e2edf3f6e82c20e2e5fef2fa20f120eceef0ff20f1f2f0e5ebe0"
    "ece820ede020f5f0e0e1f0fbff20efebfaeafb20c8e3eef0e5e2fb");

const std::string kGost94Oid = unhex("06072a850302021e01");
using kelvo::test::kStreebog256Oid;
using kelvo::test::kStreebog512Oid;

struct Vector {
    CK_MECHANISM_TYPE mechanism;
    std::string parameter;
    std::string message;
    std::string expected;
};

class DigestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK);
        session = std::make_unique<ScopedSession>(library.functions(), 0);
    }

    CK_RV init(CK_MECHANISM_TYPE type, const std::string& parameter = {}) {
        CK_MECHANISM mechanism{type, parameter.empty() ? nullptr : (void*)parameter.data(),
                               parameter.size()};
        return library->C_DigestInit(session->handle(), &mechanism);
    }

    // One C_Digest, or C_DigestUpdate with parts of `part` bytes and C_DigestFinal.
    std::string digest(CK_MECHANISM_TYPE type, const std::string& parameter, std::string data,
                       std::size_t part = 0) {
        EXPECT_EQ(init(type, parameter), CKR_OK);
        std::string out(64, '\0');
        CK_ULONG length = out.size();
        auto* bytes = (CK_BYTE_PTR)data.data();
        for (std::size_t at = 0; part != 0 && at < data.size(); at += part) {
            EXPECT_EQ(library->C_DigestUpdate(session->handle(), bytes + at,
                                              std::min(part, data.size() - at)),
                      CKR_OK);
        }
        EXPECT_EQ(part != 0
                      ? library->C_DigestFinal(session->handle(), (CK_BYTE_PTR)out.data(), &length)
                      : library->C_Digest(session->handle(), bytes, data.size(),
                                          (CK_BYTE_PTR)out.data(), &length),
                  CKR_OK);
        out.resize(length);
        return out;
    }

    TemporaryTokenDirectory directory;
    SoftTokenLibrary library;
    std::unique_ptr<ScopedSession> session;
};

TEST_F(DigestTest, PublishedVectorsWithAndWithoutParameter) {
    const Vector vectors[] = {
        {CKM_GOSTR3411_2012_256, kStreebog256Oid, kM1,
         "9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500"},
        {CKM_GOSTR3411_2012_256, kStreebog256Oid, kM2,
         "9dd2fe4e90409e5da87f53976d7405b0c0cac628fc669a741d50063c557e8f50"},
        {CKM_GOSTR3411_2012_512, kStreebog512Oid, kM1,
         "1b54d01a4af5b9d5cc3d86d68d285462b19abc2475222f35c085122be4ba1ffa00ad30f8767b3a82384c65"
         "74f024c311e2a481332b08ef7f41797891c1646f48"},
        {CKM_GOSTR3411_2012_512, kStreebog512Oid, kM2,
         "1e88e62226bfca6f9994f1f2d51569e0daf8475a3b0fe61a5300eee46d961376035fe83549ada2b8620fcd"
         "7c496ce5b33f0cb9dddc2b6460143b03dabac9fb28"},
        // GOST R 34.11-94 with the CryptoPro parameters.
        {CKM_GOSTR3411, kGost94Oid, "",
         "981e5f3ca30c841487830f84fb433e13ac1101569b9c13584ac483234cd656c0"},
        {CKM_GOSTR3411, kGost94Oid, "The quick brown fox jumps over the lazy dog",
         "9004294a361a508c586fe53d1f1b02746765e71b765472786e4770d565830a76"},
        {CKM_GOSTR3411, kGost94Oid, "message digest",
         "bc6041dd2aa401ebfa6e9886734174febdb4729aa972d60f549ac39b29721ba0"},
    };
    for (const auto& vector : vectors) {
        SCOPED_TRACE(vector.expected);
        EXPECT_EQ(digest(vector.mechanism, {}, vector.message), unhex(vector.expected));
        EXPECT_EQ(digest(vector.mechanism, vector.parameter, vector.message),
                  unhex(vector.expected));
        EXPECT_EQ(digest(vector.mechanism, {}, vector.message, 5), unhex(vector.expected));
    }
}

TEST_F(DigestTest, RefusesParameterOfAnotherHash) {
    EXPECT_EQ(init(CKM_GOSTR3411_2012_512, kStreebog256Oid), CKR_MECHANISM_PARAM_INVALID);
    EXPECT_EQ(init(CKM_GOSTR3411, kStreebog256Oid), CKR_MECHANISM_PARAM_INVALID);
    EXPECT_EQ(init(CKM_SHA256), CKR_MECHANISM_INVALID);
    CK_MECHANISM dangling{CKM_GOSTR3411, nullptr, 9};
    EXPECT_EQ(library->C_DigestInit(session->handle(), &dangling), CKR_ARGUMENTS_BAD);
}

TEST_F(DigestTest, LengthQueryAndShortBufferKeepTheOperation) {
    ASSERT_EQ(init(CKM_GOSTR3411_2012_256), CKR_OK);
    EXPECT_EQ(init(CKM_GOSTR3411_2012_256), CKR_OPERATION_ACTIVE);
    std::string data = kM1;
    CK_ULONG length = 0;
    EXPECT_EQ(library->C_Digest(session->handle(), (CK_BYTE_PTR)data.data(), data.size(), nullptr,
                                &length),
              CKR_OK);
    EXPECT_EQ(length, 32u);
    std::string out(31, '\0');
    length = out.size();
    EXPECT_EQ(library->C_Digest(session->handle(), (CK_BYTE_PTR)data.data(), data.size(),
                                (CK_BYTE_PTR)out.data(), &length),
              CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 32u);
    out.resize(32);
    EXPECT_EQ(library->C_Digest(session->handle(), (CK_BYTE_PTR)data.data(), data.size(),
                                (CK_BYTE_PTR)out.data(), &length),
              CKR_OK);
    EXPECT_EQ(out, unhex("9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500"));
    // The operation ended with the digest.
    EXPECT_EQ(library->C_DigestFinal(session->handle(), (CK_BYTE_PTR)out.data(), &length),
              CKR_OPERATION_NOT_INITIALIZED);
    EXPECT_EQ(library->C_Digest(session->handle(), nullptr, 0, nullptr, nullptr),
              CKR_OPERATION_NOT_INITIALIZED);
}

}  // namespace
}  // namespace softtoken
