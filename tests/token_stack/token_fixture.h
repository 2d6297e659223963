#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "certificate_factory.h"
#include "cryptoki/device.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/token.h"
#include "function_list_cryptoki.h"
#include "gost_key_pair.h"
#include "host/session.h"
#include "host/ui_service.h"
#include "softtoken_fixture.h"

namespace kelvo::test {

// What the module's binding answers for model and alias.
inline const BindingNames kZolvexNames{"ZOLVEXToken GOST", "ZOLVEXToken GOST"};

// The PKCS#11 token as the module builds it, bound to the software token.
class TestToken : public plugin::cryptoki::Token {
public:
    explicit TestToken(host::Session* session) : session_(session) {}
    host::Session* session() const override { return session_; }
    boost::shared_ptr<plugin::cryptoki::ICryptoki> createCryptoki() override;

    int created = 0;

private:
    host::Session* session_;
};

// The host's user-interface service as far as the token services use it: every key's PIN
// dialog is answered with the user PIN, and counted.
class UserPinHost : public host::IUiService {
public:
    AuthCallback authCallback() override { return {}; }
    void showMessage(const std::wstring&) override {}
    bool confirm(const std::wstring&) override { return true; }
    bool authenticateKey(const boost::shared_ptr<plugin::crypto::IPrivateKey>& key,
                         const std::string& reason) override;

    int asked = 0;
};

// The code of the module's exception the operation raises, 0 when it raises none.
int codeOf(const std::function<void()>& operation);

// A provisioned software token with one slot (0) of model_, by default the ZOLVEX model, and
// one slot of a model the module does not serve (1), and the token object a host would use.
class TokenServicesTest : public ::testing::Test {
protected:
    static constexpr CK_SLOT_ID kSlot = 0;

    void SetUp() override;
    void TearDown() override;

    boost::shared_ptr<plugin::cryptoki::Device> device();
    // Sessions the software token has open right now (through its own function list).
    CK_ULONG openSessions();
    CK_FLAGS tokenFlags();
    // Generates a GOST R 34.10-2012 256-bit key pair with the given CKA_ID on the token and
    // returns its public value (CKA_VALUE).
    std::string generateKeyPair(const std::string& id);
    // Generates a key pair through the module's request creator, as a host asks for a
    // certificate request (the PIN dialog answered with the user PIN); returns the public value.
    std::string requestKeyPair(const std::string& id);
    // A certificate for that key, parsed on the OpenSSL side.
    boost::shared_ptr<plugin::crypto::ICertificate> certificateFor(const std::string& publicValue,
                                                                   const std::string& serialHex);
    // Logs the slot in through the token's own session tracking (counted); the slot's
    // session must be open.
    void loginSlot(const std::string& pin = softtoken::kUserPin);
    // Opens the slot's session and logs in, as an authenticated private key does, until
    // releaseLogin().
    void holdLogin();
    void releaseLogin();

    std::string model_ = "ZOLVEXToken GOST";  // set before SetUp
    softtoken::TemporaryTokenDirectory directory_;
    bool caching_ = true;
    host::Session session_{nullptr, nullptr, &caching_};
    std::unique_ptr<TestToken> token_;
    CertificateFactory factory_;
};

}  // namespace kelvo::test
