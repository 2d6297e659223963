#include "token_fixture.h"

#include <boost/algorithm/hex.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iprivate_key.h"
#include "cryptoki/published.h"
#include "cryptoki/scoped_session.h"
#include "exception/exception.h"
#include "function_list_cryptoki.h"
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
    directory_.writeConfig(
        "[slot.0]\nmodel = ZOLVEXToken GOST\nserial = 0000001234\nhardware = 1.0\n"
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
    throw std::runtime_error("no ZOLVEX device");
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
    CK_BBOOL yes = CK_TRUE;
    CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_KEY_TYPE keyType = CKK_GOSTR3410;
    std::string keyId = id;
    std::string params = kParamSetCryptoProA;
    std::string hash = kHash2012_256;
    std::vector<CK_ATTRIBUTE> publicTemplate{{CKA_ID, keyId.data(), keyId.size()},
                                             {CKA_CLASS, &publicClass, sizeof(publicClass)},
                                             {CKA_TOKEN, &yes, 1},
                                             {CKA_KEY_TYPE, &keyType, sizeof(keyType)},
                                             {CKA_GOSTR3410_PARAMS, params.data(), params.size()},
                                             {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
    std::vector<CK_ATTRIBUTE> privateTemplate{{CKA_ID, keyId.data(), keyId.size()},
                                              {CKA_CLASS, &privateClass, sizeof(privateClass)},
                                              {CKA_TOKEN, &yes, 1},
                                              {CKA_PRIVATE, &yes, 1},
                                              {CKA_SIGN, &yes, 1},
                                              {CKA_KEY_TYPE, &keyType, sizeof(keyType)},
                                              {CKA_GOSTR3410_PARAMS, params.data(), params.size()},
                                              {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
    CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE publicKey = 0;
    CK_OBJECT_HANDLE privateKey = 0;
    const CK_RV rv = library->generateKeyPair(kSlot, &mechanism, publicTemplate.data(),
                                              publicTemplate.size(), privateTemplate.data(),
                                              privateTemplate.size(), &publicKey, &privateKey);
    library->logout(kSlot);
    if (rv != CKR_OK) {
        throw std::runtime_error("key pair generation failed: " + std::to_string(rv));
    }
    return cryptoki::attribute(*library, kSlot, publicKey, CKA_VALUE);
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
