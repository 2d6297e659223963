#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iauth_handle.h"
#include "crypto/icsr_creator.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "cryptoki/token.h"
#include "cryptoki/vendor_mechanisms.h"
#include "exception/crypto.h"
#include "fake_library.h"
#include "function_list_cryptoki.h"

// Key generation against a token whose mechanism list lacks what the request needs: the
// request is refused before any key is generated (the fake library has no key generation).
namespace {

using namespace kelvo::plugin;

class FakeToken : public cryptoki::Token {
public:
    explicit FakeToken(CK_FUNCTION_LIST* list) : list_(list) {}
    kelvo::host::Session* session() const override { return nullptr; }
    boost::shared_ptr<cryptoki::ICryptoki> createCryptoki() override {
        return boost::make_shared<kelvo::test::FunctionListCryptoki>(list_);
    }

private:
    CK_FUNCTION_LIST* list_;
};

class CsrMechanisms : public ::testing::Test {
protected:
    void SetUp() override {
        library.slotIds = {1};
        std::memset(library.tokenInfo.model, ' ', sizeof library.tokenInfo.model);
        std::memcpy(library.tokenInfo.model, "ZOLVEXToken GOST", 16);
        cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
            return handle->authenticate("12345678");
        };
    }
    void TearDown() override { cryptoki::published() = cryptoki::Published{}; }

    int createCode(const char* paramSet) {
        auto params = boost::make_shared<crypto::CsrParams>();
        params->provider = boost::make_shared<cryptoki::Provider>(*token.devices().begin());
        params->algorithmParamSet = paramSet;
        try {
            token.createCsrCreator()->create(params, nullptr);
        } catch (const crypto::exception::CryptoException& e) {
            return e.code().value();
        }
        return 0;
    }

    bool generated() const {
        return std::find(library.calls.begin(), library.calls.end(), "C_GenerateKeyPair 1") !=
               library.calls.end();
    }

    kelvo::test::FakeLibrary library;
    FakeToken token{library.functionList()};
};

}  // namespace

TEST_F(CsrMechanisms, NoMechanismsAtAll) {
    EXPECT_EQ(createCode("1.2.643.2.2.35.1"), crypto::exception::MechanismsEmpty);
    EXPECT_FALSE(generated());
}

TEST_F(CsrMechanisms, TheParameterSetsKeyGenerationIsMissing) {
    library.mechanisms = {CKM_GOSTR3410_KEY_PAIR_GEN, CKM_GOSTR3410};
    EXPECT_EQ(createCode("1.2.643.7.1.2.1.2.1"), crypto::exception::MechanismNotSupported);
    library.mechanisms = {CKM_GOSTR3410_512_KEY_PAIR_GEN};
    EXPECT_EQ(createCode("1.2.643.7.1.2.1.1.1"), crypto::exception::MechanismNotSupported);
    EXPECT_FALSE(generated());
}
