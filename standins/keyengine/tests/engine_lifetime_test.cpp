// What the engine refuses, how long its objects live, and which token calls it makes.
#include <openssl/err.h>
#include <openssl/obj_mac.h>
#include <openssl/x509.h>

#include "independent_gost.h"
#include "rtengine/rtengine.h"
#include "token_key_pair_fixture.h"

namespace keyengine_test {
namespace {

struct SessionFree {
    void operator()(rt_eng_p11_session_st* session) const { rt_eng_p11_session_free(session); }
};
using EngineSession = std::unique_ptr<rt_eng_p11_session_st, SessionFree>;
struct RequestFree {
    void operator()(X509_REQ* request) const { X509_REQ_free(request); }
};
using Request = std::unique_ptr<X509_REQ, RequestFree>;

// The token's function list with the engine's calls counted, and apart from them the calls
// that would close or log out the caller's session.
class CountingFunctionList {
public:
    explicit CountingFunctionList(CK_FUNCTION_LIST* real) : list_(*real) {
        real_ = real;
        list_.C_GetAttributeValue = [](CK_SESSION_HANDLE s, CK_OBJECT_HANDLE o, CK_ATTRIBUTE_PTR t,
                                       CK_ULONG n) {
            return ++calls_, real_->C_GetAttributeValue(s, o, t, n);
        };
        list_.C_SignInit = [](CK_SESSION_HANDLE s, CK_MECHANISM_PTR m, CK_OBJECT_HANDLE k) {
            return ++calls_, real_->C_SignInit(s, m, k);
        };
        list_.C_Sign = [](CK_SESSION_HANDLE s, CK_BYTE_PTR d, CK_ULONG n, CK_BYTE_PTR o,
                          CK_ULONG_PTR l) { return ++calls_, real_->C_Sign(s, d, n, o, l); };
        list_.C_CloseSession = [](CK_SESSION_HANDLE s) {
            return ++managementCalls_, real_->C_CloseSession(s);
        };
        list_.C_Logout = [](CK_SESSION_HANDLE s) { return ++managementCalls_, real_->C_Logout(s); };
    }

    CK_FUNCTION_LIST* get() { return &list_; }
    static int calls() { return calls_; }
    static int managementCalls() { return managementCalls_; }

private:
    CK_FUNCTION_LIST list_;
    static inline CK_FUNCTION_LIST* real_ = nullptr;
    static inline int calls_ = 0;
    static inline int managementCalls_ = 0;
};

class EngineLifetimeTest : public TokenKeyPairTest {
protected:
    void SetUp() override {
        TokenKeyPairTest::SetUp();
        pair_ = generate(gost2012_256());
    }

    Pkey wrap(rt_eng_p11_session_st* engineSession, CK_OBJECT_HANDLE privateKey,
              CK_OBJECT_HANDLE publicKey) {
        Pkey key(rt_eng_p11_key_pair_wrap(engineSession, privateKey, publicKey));
        if (!key) {
            // A refusal says why on the error queue.
            EXPECT_NE(ERR_peek_error(), 0u);
            ERR_clear_error();
        }
        return key;
    }

    // Signs a fresh request with the key; true when a signature came back that verifies.
    bool signsRequest(EVP_PKEY* key) {
        Request request(X509_REQ_new());
        X509_REQ_set_pubkey(request.get(), key);
        if (X509_REQ_sign(request.get(), key, nullptr) <= 0) {
            ERR_clear_error();
            return false;
        }
        Pkey verifier = gostPublicKey(NID_id_GostR3410_2012_256,
                                      attribute(pair_.publicKey, CKA_GOSTR3410_PARAMS),
                                      attribute(pair_.publicKey, CKA_VALUE));
        return verifier && X509_REQ_verify(request.get(), verifier.get()) == 1;
    }

    KeyPairHandles pair_{};
};

TEST_F(EngineLifetimeTest, SessionWrapRefusesUnusableInput) {
    EXPECT_EQ(rt_eng_p11_session_wrap(nullptr, session(), 0, 0), nullptr);
    EXPECT_EQ(rt_eng_p11_session_wrap(functions(), session() + 1000, 0, 0), nullptr);
    EXPECT_EQ(rt_eng_p11_session_wrap(functions(), session(), 1, 0), nullptr);
    EXPECT_EQ(rt_eng_p11_session_wrap(functions(), session(), 0, 1), nullptr);
    CK_FUNCTION_LIST incomplete = *functions();
    incomplete.C_Sign = nullptr;
    EXPECT_EQ(rt_eng_p11_session_wrap(&incomplete, session(), 0, 0), nullptr);
    ERR_clear_error();
    rt_eng_p11_session_free(nullptr);
}

TEST_F(EngineLifetimeTest, KeyPairWrapRefusesObjectsThatAreNotAMatchingKeyPair) {
    EngineSession engineSession(rt_eng_p11_session_wrap(functions(), session(), 0, 0));
    ASSERT_TRUE(engineSession);
    EXPECT_FALSE(wrap(nullptr, pair_.privateKey, pair_.publicKey));
    EXPECT_FALSE(wrap(engineSession.get(), CK_INVALID_HANDLE, pair_.publicKey));
    EXPECT_FALSE(wrap(engineSession.get(), pair_.privateKey, 0xDEAD));
    EXPECT_FALSE(wrap(engineSession.get(), pair_.publicKey, pair_.privateKey));
    EXPECT_FALSE(wrap(engineSession.get(), pair_.publicKey, pair_.publicKey));

    CK_OBJECT_CLASS dataClass = CKO_DATA;
    std::string content = "not a key";
    const CK_OBJECT_HANDLE data = createObject(
        {{CKA_CLASS, &dataClass, sizeof dataClass}, {CKA_VALUE, content.data(), content.size()}});
    EXPECT_FALSE(wrap(engineSession.get(), data, pair_.publicKey));

    const KeyPairHandles large = generate(gost2012_512());
    EXPECT_FALSE(wrap(engineSession.get(), large.privateKey, pair_.publicKey));
    EXPECT_TRUE(wrap(engineSession.get(), large.privateKey, large.publicKey));
}

TEST_F(EngineLifetimeTest, KeyPairWrapRefusesPublicValuesThatAreNoCurvePoint) {
    EngineSession engineSession(rt_eng_p11_session_wrap(functions(), session(), 0, 0));
    ASSERT_TRUE(engineSession);
    CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
    CK_KEY_TYPE keyType = CKK_GOSTR3410;
    std::string paramSet = attribute(pair_.publicKey, CKA_GOSTR3410_PARAMS);
    // The token only checks the length; x = y = 0x0101...01 is no point of the curve.
    std::string value(64, '\x01');
    const CK_OBJECT_HANDLE forged =
        createObject({{CKA_CLASS, &publicClass, sizeof publicClass},
                      {CKA_KEY_TYPE, &keyType, sizeof keyType},
                      {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
                      {CKA_VALUE, value.data(), value.size()}});
    EXPECT_FALSE(wrap(engineSession.get(), pair_.privateKey, forged));
}

TEST_F(EngineLifetimeTest, KeyStaysUsableAfterItsEngineSessionIsFreed) {
    EngineSession engineSession(rt_eng_p11_session_wrap(functions(), session(), 0, 0));
    Pkey key = wrap(engineSession.get(), pair_.privateKey, pair_.publicKey);
    ASSERT_TRUE(key);
    engineSession.reset();
    EXPECT_TRUE(signsRequest(key.get()));
    // A structure that took a reference keeps the key alive on its own.
    Request request(X509_REQ_new());
    ASSERT_EQ(X509_REQ_set_pubkey(request.get(), key.get()), 1);
    EVP_PKEY* held = key.get();
    key.reset();
    EXPECT_GT(X509_REQ_sign(request.get(), held, nullptr), 0);
}

TEST_F(EngineLifetimeTest, EngineUsesOnlyTheCallersSessionAndNothingAfterRelease) {
    CountingFunctionList counting(functions());
    const CK_ULONG sessionsBefore = sessionCount();
    for (const bool keyFirst : {true, false}) {
        EngineSession engineSession(rt_eng_p11_session_wrap(counting.get(), session(), 0, 0));
        Pkey key = wrap(engineSession.get(), pair_.privateKey, pair_.publicKey);
        ASSERT_TRUE(key);
        const int before = CountingFunctionList::calls();
        EXPECT_TRUE(signsRequest(key.get()));
        EXPECT_GT(CountingFunctionList::calls(), before)
            << "the signature must come from the token";
        EXPECT_EQ(sessionCount(), sessionsBefore);

        const int callsBeforeRelease = CountingFunctionList::calls();
        if (keyFirst) {
            key.reset();
            engineSession.reset();
        } else {
            engineSession.reset();
            key.reset();
        }
        EXPECT_EQ(CountingFunctionList::calls(), callsBeforeRelease);
    }
    EXPECT_EQ(CountingFunctionList::managementCalls(), 0);
    EXPECT_EQ(sessionCount(), sessionsBefore);
}

TEST_F(EngineLifetimeTest, SigningFailsCleanlyWhileTheTokenRefusesAndRecovers) {
    EngineSession engineSession(rt_eng_p11_session_wrap(functions(), session(), 0, 0));
    Pkey key = wrap(engineSession.get(), pair_.privateKey, pair_.publicKey);
    ASSERT_TRUE(key);
    ASSERT_EQ(functions()->C_Logout(session()), CKR_OK);
    EXPECT_FALSE(signsRequest(key.get()));
    std::string pin = softtoken::kUserPin;
    ASSERT_EQ(functions()->C_Login(session(), CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                                   pin.size()),
              CKR_OK);
    EXPECT_TRUE(signsRequest(key.get()));
}

}  // namespace
}  // namespace keyengine_test
