// Signing with a wrapped token key through OpenSSL's ordinary entry points, checked by
// verification that does not go through the engine (the openssl tool's verification of
// engine-signed requests is the CSR creator suite's, for every parameter set).
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include "independent_gost.h"
#include "rtengine/rtengine.h"
#include "token_key_pair_fixture.h"

namespace keyengine_test {
namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* object) const { Free(object); }
};
using Request = std::unique_ptr<X509_REQ, Freer<X509_REQ, X509_REQ_free>>;
using MdContext = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;

struct SessionFree {
    void operator()(rt_eng_p11_session_st* session) const { rt_eng_p11_session_free(session); }
};
using EngineSession = std::unique_ptr<rt_eng_p11_session_st, SessionFree>;

void setSubject(X509_NAME* name, const char* commonName) {
    ASSERT_EQ(
        X509_NAME_add_entry_by_NID(name, NID_commonName, MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0),
        1);
}

class EngineSigningTest : public TokenKeyPairTest,
                          public ::testing::WithParamInterface<const GostFamily*> {
protected:
    void SetUp() override {
        TokenKeyPairTest::SetUp();
        pair_ = generate(family());
        engineSession_.reset(rt_eng_p11_session_wrap(functions(), session(), 0, 0));
        ASSERT_TRUE(engineSession_);
        key_.reset(
            rt_eng_p11_key_pair_wrap(engineSession_.get(), pair_.privateKey, pair_.publicKey));
        ASSERT_TRUE(key_) << ERR_reason_error_string(ERR_peek_last_error());
    }
    void TearDown() override {
        key_.reset();
        engineSession_.reset();
        TokenKeyPairTest::TearDown();
    }

    const GostFamily& family() const { return *GetParam(); }
    // The verification key rebuilt from the token's public-key object alone.
    Pkey tokenPublicKey() const {
        return gostPublicKey(family().algorithmNid,
                             attribute(pair_.publicKey, CKA_GOSTR3410_PARAMS),
                             attribute(pair_.publicKey, CKA_VALUE));
    }
    KeyPairHandles pair_{};
    EngineSession engineSession_;
    Pkey key_;
};

TEST_P(EngineSigningTest, RequestSignedWithDefaultDigestVerifies) {
    Request request(X509_REQ_new());
    setSubject(X509_REQ_get_subject_name(request.get()), "Token Request");
    ASSERT_EQ(X509_REQ_set_pubkey(request.get(), key_.get()), 1);
    // The request builder's digest lookup: the 2012-256 signature's short name names no
    // digest, so the key's default digest is used.
    const EVP_MD* digest = EVP_get_digestbyname(OBJ_nid2sn(NID_id_GostR3410_2012_256));
    ASSERT_GT(X509_REQ_sign(request.get(), key_.get(), digest), 0)
        << ERR_error_string(ERR_get_error(), nullptr);
    EXPECT_EQ(X509_REQ_get_signature_nid(request.get()), family().defaultSignatureNid);

    Pkey fromToken = tokenPublicKey();
    ASSERT_TRUE(fromToken);
    EXPECT_EQ(X509_REQ_verify(request.get(), fromToken.get()), 1);
}

TEST_P(EngineSigningTest, DigestSignVerifiesAgainstTokenPublicKey) {
    const std::string data = "data signed on the token";
    MdContext signing(EVP_MD_CTX_new());
    ASSERT_EQ(EVP_DigestSignInit(signing.get(), nullptr, nullptr, nullptr, key_.get()), 1)
        << ERR_error_string(ERR_get_error(), nullptr);
    std::size_t length = 0;
    ASSERT_EQ(EVP_DigestSign(signing.get(), nullptr, &length,
                             reinterpret_cast<const unsigned char*>(data.data()), data.size()),
              1);
    std::string signature(length, '\0');
    ASSERT_EQ(
        EVP_DigestSign(signing.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()),
        1)
        << ERR_error_string(ERR_get_error(), nullptr);
    ASSERT_EQ(length, attribute(pair_.publicKey, CKA_VALUE).size());

    Pkey fromToken = tokenPublicKey();
    ASSERT_TRUE(fromToken);
    const auto verify = [&](const std::string& signed_, const std::string& sig) {
        MdContext verifying(EVP_MD_CTX_new());
        EXPECT_EQ(EVP_DigestVerifyInit(verifying.get(), nullptr, nullptr, nullptr, fromToken.get()),
                  1);
        const int result = EVP_DigestVerify(
            verifying.get(), reinterpret_cast<const unsigned char*>(sig.data()), sig.size(),
            reinterpret_cast<const unsigned char*>(signed_.data()), signed_.size());
        ERR_clear_error();
        return result;
    };
    EXPECT_EQ(verify(data, signature), 1);
    EXPECT_NE(verify(data + ".", signature), 1);
    std::string damaged = signature;
    damaged[0] ^= 0x01;
    EXPECT_NE(verify(data, damaged), 1);
}

INSTANTIATE_TEST_SUITE_P(Families, EngineSigningTest,
                         ::testing::Values(&gost2001(), &gost2012_256(), &gost2012_256CryptoPro(),
                                           &gost2012_512()),
                         [](const auto& family) { return std::string(family.param->name); });

}  // namespace
}  // namespace keyengine_test
