#include "token_fixture.h"

#include <boost/algorithm/hex.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iauth_handle.h"
#include "crypto/icsr_creator.h"
#include "crypto/iprivate_key.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "cryptoki/resource_cleaner.h"
#include "cryptoki/scoped_session.h"
#include "exception/exception.h"
#include "function_list_cryptoki.h"
#include "gost_key_pair.h"
#include "ssl/certificate.h"

namespace kelvo::test {

namespace cryptoki = plugin::cryptoki;

bool UserPinHost::authenticateKey(const boost::shared_ptr<plugin::crypto::IPrivateKey>& key,
                                  const std::string&) {
    ++asked;
    return key->authenticate(softtoken::kUserPin);
}

int codeOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const plugin::exception::Exception& e) {
        return e.code().value();
    }
    return 0;
}

boost::shared_ptr<cryptoki::ICryptoki> TestToken::createCryptoki() {
    ++created;
    return boost::make_shared<FunctionListCryptoki>(softtoken::kLibraryPath, kZolvexNames);
}

void TokenServicesTest::SetUp() {
    directory_.writeConfig("[slot.0]\nmodel = " + model_ +
                           "\nserial = 0000001234\nhardware = 1.0\n"
                           "firmware = 2.3\n\n[slot.1]\nmodel = Other Token\nserial = X-77\n");
    {
        softtoken::SoftTokenLibrary library;
        softtoken::provisionToken(library.functions(), kSlot);
    }
    cryptoki::published() = cryptoki::Published{};
    cryptoki::published().deviceTitleFormat = L"%1% \u2022 S/N %2%";
    token_ = std::make_unique<TestToken>(&session_);
}

void TokenServicesTest::TearDown() {
    token_.reset();
    cryptoki::published() = cryptoki::Published{};
}

boost::shared_ptr<cryptoki::Device> TokenServicesTest::device() {
    for (const auto& found : token_->devices()) {
        if (found->slot == kSlot) {
            return found;
        }
    }
    throw std::runtime_error("no device in slot 0");
}

CK_ULONG TokenServicesTest::openSessions() {
    return softtoken::tokenInfo(token_->cryptoki()->functions(), kSlot).ulSessionCount;
}

CK_FLAGS TokenServicesTest::tokenFlags() {
    return softtoken::tokenInfo(token_->cryptoki()->functions(), kSlot).flags;
}

std::string TokenServicesTest::generateKeyPair(const std::string& id) {
    const auto library = token_->cryptoki();
    cryptoki::ScopedSession session(library, kSlot);
    loginSlot();
    const cryptoki::ResourceCleaner logout([&] { library->logout(kSlot); });
    const KeyPair pair =
        generateGostKeyPair(library->functions(), library->sessionHandle(kSlot), id);
    return cryptoki::attribute(*library, kSlot, pair.publicKey, CKA_VALUE);
}

std::string TokenServicesTest::requestKeyPair(const std::string& id) {
    auto params = boost::make_shared<plugin::crypto::CsrParams>();
    params->provider = boost::make_shared<cryptoki::Provider>(device());
    params->subject = "cn=" + id;
    params->keyId = id;
    params->algorithmParamSet = "1.2.643.2.2.35.1";
    const auto saved = cryptoki::published().authCallback;
    cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
        return handle->authenticate(softtoken::kUserPin);
    };
    const cryptoki::ResourceCleaner restore(
        [&saved] { cryptoki::published().authCallback = saved; });
    const auto result = token_->createCsrCreator()->create(params, nullptr);
    // The creator leaves the slot's session and login to the new key's user.
    token_->cryptoki()->releaseSlot(kSlot);
    return result ? result->publicKeyValue : std::string();
}

boost::shared_ptr<plugin::crypto::ICertificate> TokenServicesTest::certificateFor(
    const std::string& publicValue, const std::string& serialHex) {
    return plugin::ssl::Certificate::makeFromDer(
        factory_.issue(publicValue, serialHex, "Token user " + serialHex));
}

void TokenServicesTest::loginSlot(const std::string& pin) {
    const auto library = token_->cryptoki();
    std::string bytes = pin;
    library->login(kSlot, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(bytes.data()), bytes.size());
}

void TokenServicesTest::holdLogin() {
    token_->cryptoki()->openSession(kSlot, cryptoki::ScopedSession::kFlags, nullptr, nullptr);
    loginSlot();
}

void TokenServicesTest::releaseLogin() {
    token_->cryptoki()->releaseSlot(kSlot);
}

}  // namespace kelvo::test
