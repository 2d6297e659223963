// A token pulled out and put back while the module stays loaded: operations on the absent
// token fail cleanly and leave nothing behind, and signing works again afterwards, with the
// PIN asked anew, also from another slot. Pulling it out in the middle of an operation is the
// fault sweep's, before every call the operation makes.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "crypto/iauth_handle.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "cryptoki/hash.h"
#include "cryptoki/published.h"
#include "cryptoki/scoped_session.h"
#include "exception/cryptoki.h"
#include "gost_verifier.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;
using kelvo::test::codeOf;
using kelvo::test::TokenServicesTest;

namespace {

constexpr const char* kHashOid = "1.2.643.7.1.1.2.2";
const std::size_t kDataSize = cryptoki::Hash::kChunkSize + 1000;

// The answer of a dead session while its token is out, and whether the module caches.
class TokenRemoval : public test::TokenServicesTest,
                     public ::testing::WithParamInterface<std::tuple<CK_RV, bool>> {
protected:
    void SetUp() override {
        TokenServicesTest::SetUp();
        setenv("ZOLVEX_SOFTTOKEN_DEAD_SESSION", std::to_string(whileOut()).c_str(), 1);
        caching_ = std::get<1>(GetParam());
        cryptoki::published().uiService = &host_;
        cryptoki::published().authCallback = [](const auto& handle, const std::string& pin) {
            return handle->authenticate(pin);
        };
        publicValue_ = generateKeyPair("signer");
        ASSERT_TRUE(token_->addCertificate(device(), certificateFor(publicValue_, "0A0B"), "signer",
                                           6, softtoken::kUserPin));
    }
    void TearDown() override {
        unsetenv("ZOLVEX_SOFTTOKEN_DEAD_SESSION");
        TokenServicesTest::TearDown();
    }

    CK_RV whileOut() const { return std::get<0>(GetParam()); }
    void mark(const std::string& name, const std::string& content = "") {
        std::ofstream(directory_.path() / name) << content;
    }
    void unmark(const std::string& name) { std::filesystem::remove(directory_.path() / name); }

    // The signer's certificate as the host finds it on the token's only device.
    boost::shared_ptr<crypto::ICertificate> signer() {
        const auto devices = token_->devices();
        EXPECT_EQ(devices.size(), 1u);
        for (const auto& certificate : token_->certificates(*devices.begin())) {
            if (certificate->container() == std::wstring(L"signer")) {
                return certificate;
            }
        }
        throw std::runtime_error("no signer");
    }
    // Hashes and signs through the signer's provider; the signature must verify.
    void expectSignature(const boost::shared_ptr<crypto::ICertificate>& certificate) {
        std::istringstream data(std::string(kDataSize, 'x'));
        const auto hash = certificate->provider(L"")->createHash(kHashOid, certificate);
        const std::string digest = hash->create(data);
        EXPECT_TRUE(openssl_.verify(test::kParamSetCryptoProA, publicValue_, digest,
                                    softtoken::reversed(hash->signatureValue())));
    }
    // Nothing is left open or logged in, in the library or in the module's record.
    void expectNothingHeld() {
        const auto library = token_->cryptoki();
        EXPECT_EQ(openSessions(), 0u);
        EXPECT_EQ(library->sessionHandle(kSlot), 0u);
        EXPECT_FALSE(library->isLoggedIn(kSlot));
    }

    test::UserPinHost host_;
    softtoken::GostVerifier openssl_;
    std::string publicValue_;
};

TEST_P(TokenRemoval, SigningSurvivesPullingTheTokenOutAndPuttingItBack) {
    constexpr int kTokenNotPresent = exception::CkrTokenNotPresent;
    expectSignature(signer());
    EXPECT_EQ(host_.asked, 1);

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        const auto held = signer();  // logged in since the last signature
        const auto device = *token_->devices().begin();
        mark("removed-0");
        EXPECT_TRUE(token_->devices().empty());
        EXPECT_EQ(codeOf([&] { token_->certificates(device); }), kTokenNotPresent);
        EXPECT_EQ(codeOf([&] { token_->randomBytes(device, 8); }), kTokenNotPresent);
        EXPECT_EQ(codeOf([&] { token_->findCertificate(device, std::string("signer")); }),
                  kTokenNotPresent);
        std::istringstream data("data");
        const auto hash = held->provider(L"")->createHash(kHashOid, held);
        EXPECT_EQ(codeOf([&] { hash->create(data); }), kTokenNotPresent);
        EXPECT_TRUE(hash->signatureValue().empty());
        EXPECT_FALSE(held->privateKey()->isAuthenticated());

        unmark("removed-0");
        expectNothingHeld();
        expectSignature(signer());
        EXPECT_EQ(host_.asked, 1 + round);
    }

    // Another USB port: the same token in slot 1.
    mark("moved-0", "1");
    const auto moved = signer();
    EXPECT_EQ(token_->devices().size(), 1u);
    EXPECT_EQ((*token_->devices().begin())->slot, 1u);
    expectSignature(moved);
    EXPECT_EQ(host_.asked, 4);
    unmark("moved-0");
    expectSignature(signer());
    EXPECT_EQ(host_.asked, 5);
}

// Pulled out and put back while the module made no call: only the library saw it. A key
// still holds the session that is gone: the next listing replaces it (and drops a cached
// certificate), and the PIN is asked anew.
TEST_P(TokenRemoval, RePlugWhileIdleReplacesTheHeldSession) {
    const auto held = signer();
    expectSignature(held);
    const auto functions = token_->cryptoki()->functions();
    mark("removed-0");
    CK_SLOT_ID present[4];
    CK_ULONG count = 4;
    ASSERT_EQ(functions->C_GetSlotList(CK_TRUE, present, &count), static_cast<CK_RV>(CKR_OK));
    unmark("removed-0");
    const auto listed = signer();
    EXPECT_FALSE(listed->privateKey()->isAuthenticated());
    EXPECT_NE(listed, held);
    expectSignature(listed);
    EXPECT_EQ(host_.asked, 2);
}

// A token put in after the last listing is asked for before a call on its slot is refused.
TEST_F(TokenServicesTest, SlotLeftOutOfTheLastListingIsAskedBeforeACallIsRefused) {
    const auto library = token_->cryptoki();
    std::ofstream(directory_.path() / "removed-1");
    std::vector<CK_SLOT_ID> present;
    ASSERT_EQ(library->slotList(true, present), static_cast<CK_RV>(CKR_OK));
    ASSERT_EQ(present, std::vector<CK_SLOT_ID>{kSlot});
    std::filesystem::remove(directory_.path() / "removed-1");
    EXPECT_EQ(library->openSession(1, cryptoki::ScopedSession::kFlags, nullptr, nullptr),
              static_cast<CK_RV>(CKR_OK));
    EXPECT_TRUE(library->isPresent(1));
    library->releaseSlot(1);
}

INSTANTIATE_TEST_SUITE_P(DeadSessionAnswers, TokenRemoval,
                         ::testing::Combine(::testing::Values(CKR_DEVICE_REMOVED,
                                                              CKR_SESSION_HANDLE_INVALID),
                                            ::testing::Bool()),
                         [](const auto& answer) {
                             return std::string(std::get<0>(answer.param) == CKR_DEVICE_REMOVED
                                                    ? "DeviceRemoved"
                                                    : "HandleInvalid") +
                                    (std::get<1>(answer.param) ? "_Cached" : "_Uncached");
                         });

}  // namespace
