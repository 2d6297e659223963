#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iprovider.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/hash.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "exception/cryptoki.h"
#include "gost_verifier.h"
#include "log_capture.h"
#include "module/module.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;
using crypto::exception::CryptoException;
using kelvo::test::codeOf;
using kelvo::test::TokenServicesTest;

TEST_F(TokenServicesTest, OnlySupportedModelsBecomeDevices) {
    const auto devices = token_->devices();
    ASSERT_EQ(devices.size(), 1u);
    const auto& zolvex = *devices.begin();
    EXPECT_EQ(zolvex->model, "ZOLVEXToken GOST");
    EXPECT_EQ(zolvex->id, "ZOLVEXToken GOST 0000001234");
    // Cached: the same objects come back until the cache is reset.
    EXPECT_EQ(*token_->devices().begin(), zolvex);
    token_->setCache(true, true);
    EXPECT_NE(*token_->devices().begin(), zolvex);
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, CertificatesWrittenFoundAndDeleted) {
    const auto device = this->device();
    EXPECT_TRUE(token_->certificates(device).empty());
    const std::string value = generateKeyPair("container-1");
    const auto certificate = certificateFor(value, "8F0102");

    EXPECT_TRUE(
        token_->addCertificate(device, certificate, "container-1", 11, softtoken::kUserPin));
    EXPECT_EQ(openSessions(), 0u);
    const auto byContainer = token_->findCertificate(device, std::string("container-1"));
    ASSERT_TRUE(byContainer);
    EXPECT_EQ(byContainer->der(), certificate->der());
    EXPECT_FALSE(token_->findCertificate(device, std::string("container-2")));
    EXPECT_EQ(token_->findContainer(device, *certificate->publicKey(), nullptr).value_or(L""),
              L"container-1");

    holdLogin();  // deleting takes an existing login
    EXPECT_TRUE(token_->deleteCertificate(device, certificate));
    releaseLogin();
    EXPECT_TRUE(token_->certificates(device).empty());
    EXPECT_FALSE(token_->findCertificate(device, certificate));
    EXPECT_EQ(codeOf([&] { token_->deleteCertificate(device, certificate); }),
              crypto::exception::CertificateOutStore);
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, UnknownContainerFailsBeforeAnyPinIsAsked) {
    int asked = 0;
    cryptoki::published().authCallback = [&asked](const auto&, const std::string&) {
        ++asked;
        return false;
    };
    const auto device = this->device();
    EXPECT_EQ(codeOf([&] { token_->deleteContainer(device, L"nothing", softtoken::kUserPin); }),
              crypto::exception::ContainerNotFound);
    EXPECT_EQ(asked, 0);

    generateKeyPair("to-delete");
    EXPECT_EQ(codeOf([&] { token_->deleteContainer(device, L"to-delete", "bad"); }),
              crypto::exception::TokensLoginFailed);
    EXPECT_EQ(asked, 1);
    cryptoki::published().authCallback = nullptr;
    EXPECT_TRUE(token_->deleteContainer(device, L"to-delete", softtoken::kUserPin));
    EXPECT_TRUE(token_->containers(device).empty());
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, WrongPinsReportFinalTryAndLockAsTheTokenDoes) {
    const auto device = this->device();
    const auto certificate = certificateFor(generateKeyPair("key"), "01");
    cryptoki::ScopedSession session(token_->cryptoki(), kSlot);
    cryptoki::TokenAuth auth(*device);
    EXPECT_TRUE(auth.failed());
    EXPECT_EQ(auth.states(), crypto::IAuthHandle::AttemptFailed);
    EXPECT_EQ(auth.title(), L"ZOLVEXToken GOST \u2022 S/N 0000001234");

    for (int attempt = 1; attempt <= 8; ++attempt) {
        EXPECT_FALSE(auth.authenticate("wrong"));
        EXPECT_EQ(auth.states() & crypto::IAuthHandle::FinalTry, 0u) << attempt;
    }
    EXPECT_FALSE(auth.authenticate("wrong"));
    EXPECT_EQ(auth.states(), crypto::IAuthHandle::AttemptFailed | crypto::IAuthHandle::FinalTry);
    EXPECT_FALSE(auth.authenticate("wrong"));
    EXPECT_TRUE(auth.isLocked());
    EXPECT_EQ(auth.states(), crypto::IAuthHandle::AttemptFailed | crypto::IAuthHandle::Locked);

    // Locked: the right PIN is not even sent.
    EXPECT_FALSE(auth.authenticate(softtoken::kUserPin));
    EXPECT_FALSE(token_->cryptoki()->isLoggedIn(kSlot));
    EXPECT_EQ(
        codeOf([&] { token_->addCertificate(device, certificate, "", 0, softtoken::kUserPin); }),
        crypto::exception::TokensLoginFailed);
    EXPECT_EQ(openSessions(), 1u);  // only the test's own session
}

TEST_F(TokenServicesTest, RightPinLogsInAndTheCallerLogsOut) {
    const auto device = this->device();
    const auto library = token_->cryptoki();
    library->openSession(kSlot, cryptoki::ScopedSession::kFlags, nullptr, nullptr);
    cryptoki::TokenAuth auth(*device);
    EXPECT_TRUE(auth.authenticate(softtoken::kUserPin));
    EXPECT_FALSE(auth.failed());
    EXPECT_EQ(auth.states(), 0u);
    EXPECT_TRUE(token_->cryptoki()->isLoggedIn(kSlot));
    // A second handle on a logged-in slot succeeds without a library call.
    EXPECT_TRUE(cryptoki::ensureLogin(*device, ""));
    library->releaseSlot(kSlot);
    EXPECT_FALSE(library->isLoggedIn(kSlot));
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, DigestsAgreeWithOpenSsl) {
    const auto device = this->device();
    cryptoki::Provider provider(device);
    softtoken::GostVerifier openssl;
    const std::pair<const char*, const char*> algorithms[] = {
        {"1.2.643.2.2.9", "md_gost94"},
        {"1.2.643.7.1.1.2.2", "md_gost12_256"},
        {"1.2.643.7.1.1.2.3", "md_gost12_512"}};
    for (const auto& [oid, name] : algorithms) {
        for (const std::size_t size :
             {std::size_t{0}, cryptoki::Hash::kChunkSize, cryptoki::Hash::kChunkSize + 1}) {
            std::string data(size, '\0');
            for (std::size_t i = 0; i < size; ++i) {
                data[i] = static_cast<char>(i * 31 + 7);
            }
            std::istringstream stream(data);
            const std::string digest = provider.createHash(oid, nullptr)->create(stream);
            if (size == 0 && std::string(oid) == "1.2.643.2.2.9") {
                // OpenSSL's engine is wrong for the empty message; the published value stands.
                EXPECT_EQ(digest, softtoken::unhex("981e5f3ca30c841487830f84fb433e13ac1101569b9c13"
                                                   "584ac483234cd656c0"));
            } else {
                EXPECT_EQ(digest, openssl.digest(name, data)) << oid << " " << size;
            }
        }
    }
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, UnsupportedAlgorithmFailsBeforeAnyDigest) {
    cryptoki::Provider provider(device());
    std::istringstream stream("data");
    try {
        provider.createHash("1.2.840.113549.2.5", nullptr)->create(stream);
        FAIL() << "no exception";
    } catch (const CryptoException& e) {
        EXPECT_EQ(e.code().value(), crypto::exception::MechanismNotSupported);
        EXPECT_NE(std::string(e.what()).find(
                      ": Механизм хэширования для алгоритма 1.2.840.113549.2.5 не поддерживается"),
                  std::string::npos);
    }
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, SigningWithoutALoginNeedsTheHostService) {
    const auto device = this->device();
    const std::string value = generateKeyPair("signer");
    const auto certificate = certificateFor(value, "0C");
    ASSERT_TRUE(token_->addCertificate(device, certificate, "signer", 6, softtoken::kUserPin));
    std::istringstream stream("data");
    auto hash = cryptoki::Provider(device).createHash("1.2.643.7.1.1.2.2",
                                                      token_->findCertificate(device, certificate));
    EXPECT_EQ(codeOf([&] { hash->create(stream); }), crypto::exception::TokensLoginFailed);
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, ProviderDescribesTheDevice) {
    cryptoki::Provider provider(device());
    EXPECT_EQ(provider.name(), L"ZOLVEXToken GOST 0000001234");
    EXPECT_EQ(provider.versionInfo().value_or(L""),
              L"hardware version: 1.0\nfirmware version: 2.3");
    EXPECT_TRUE(provider.isSupported("1.2.643.7.1.1.2.2"));
    EXPECT_TRUE(provider.isSupported("1.2.643.7.1.1.2.3"));
    EXPECT_FALSE(provider.isSupported("sha256"));
    EXPECT_EQ(provider.randomBytes(32).size(), 32u);
    EXPECT_TRUE(provider.randomBytes(0).empty());
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(TokenServicesTest, ProvidersCoverEveryDeviceOfEveryTokenModule) {
    struct TokenModule : module::Module {
        explicit TokenModule(module::IToken* token) : token_(token) {}
        module::IToken* token() override { return token_; }
        module::IToken* token_;
    };
    TokenModule withToken(token_.get());
    module::Module withoutToken;
    host::ModuleRegistry registry;
    registry.modules["zolvex"].instance = &withToken;
    registry.modules["other"].instance = &withoutToken;
    registry.modules["absent"].instance = nullptr;
    session_.registry = &registry;

    test::LogCapture log;
    const auto providers = cryptoki::Provider(device()).providers(&session_);
    ASSERT_EQ(providers.size(), 1u);
    EXPECT_EQ((*providers.begin())->name(), L"ZOLVEXToken GOST 0000001234");
    EXPECT_TRUE(log.contains(
        "cryptoki: providers: found provider: \"ZOLVEXToken GOST 0000001234\", type: 0"));
    session_.registry = nullptr;
}

TEST(ContainerId, Windows1251ForTheRutokenFamilyAndUtf8Otherwise) {
    const std::wstring name = L"Ключ";
    EXPECT_EQ(cryptoki::containerId(L"Rutoken ECP", name), "\xCA\xEB\xFE\xF7");
    EXPECT_EQ(cryptoki::containerId(L"ZOLVEXToken GOST", name), "Ключ");
    EXPECT_EQ(cryptoki::containerId(L"JaCarta GOST 2.0", name), "Ключ");
    EXPECT_EQ(cryptoki::containerId(L"unknown", name), "Ключ");
}
