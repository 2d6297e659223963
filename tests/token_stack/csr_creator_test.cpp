#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iauth_handle.h"
#include "crypto/icsr_creator.h"
#include "crypto/iprivate_key.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "log_capture.h"
#include "shared/base64.h"
#include "ssl/certificate.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;
using kelvo::test::codeOf;
using kelvo::test::TokenServicesTest;

namespace {

const char* const kAllParamSets[] = {
    "1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2", "1.2.643.7.1.2.1.2.3", "1.2.643.7.1.2.1.1.1",
    "1.2.643.7.1.2.1.1.2", "1.2.643.7.1.2.1.1.3", "1.2.643.7.1.2.1.1.4", "1.2.643.2.2.35.1",
    "1.2.643.2.2.35.2",    "1.2.643.2.2.35.3",    "1.2.643.2.2.36.0",    "1.2.643.2.2.36.1"};

// The DER request, checked by the openssl command with the GOST engine.
bool opensslVerifies(const std::string& der) {
    const auto file = boost::filesystem::temp_directory_path() /
                      boost::filesystem::unique_path("request-%%%%%%.der");
    std::ofstream(file.string(), std::ios::binary) << der;
    const std::string command = "openssl req -engine gost -inform DER -in '" + file.string() +
                                "' -verify -noout >/dev/null 2>&1";
    const bool verified = std::system(command.c_str()) == 0;
    boost::filesystem::remove(file);
    return verified;
}

std::string subjectPublicKeyBits(const std::string& der) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    std::unique_ptr<X509_REQ, decltype(&X509_REQ_free)> request(
        d2i_X509_REQ(nullptr, &cursor, static_cast<long>(der.size())), X509_REQ_free);
    if (!request) {
        return {};
    }
    const unsigned char* bits = nullptr;
    int length = 0;
    X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr,
                           X509_REQ_get_X509_PUBKEY(request.get()));
    return std::string(reinterpret_cast<const char*>(bits), static_cast<std::size_t>(length));
}

class CsrCreatorTest : public TokenServicesTest {
protected:
    void SetUp() override {
        TokenServicesTest::SetUp();
        // The host's PIN dialog, answered with the user PIN.
        cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
            return handle->authenticate(softtoken::kUserPin);
        };
    }

    boost::shared_ptr<crypto::CsrParams> params(const std::string& paramSet) {
        auto params = boost::make_shared<crypto::CsrParams>();
        params->provider = boost::make_shared<cryptoki::Provider>(device());
        params->subject = "cn=Иван Петров;snils=12345678901";
        params->keyId = "key-" + paramSet;
        params->algorithmParamSet = paramSet;
        params->keyUsage = 0xC0;
        return params;
    }
};

// The software token in a folder the key engine did not come with.
class EngineLessToken : public test::TestToken {
public:
    using TestToken::TestToken;
    boost::shared_ptr<cryptoki::ICryptoki> createCryptoki() override {
        struct Binding : test::FunctionListCryptoki {
            Binding() : FunctionListCryptoki(softtoken::kLibraryPath, test::kZolvexNames) {}
            std::string libraryPath() const override { return "/nonexistent/voxa_pkcs11_main.so"; }
        };
        return boost::make_shared<Binding>();
    }
};

}  // namespace

TEST_F(CsrCreatorTest, EveryParameterSetGivesAVerifiableRequestForTheTokenKey) {
    const auto creator = token_->createCsrCreator();
    for (const char* paramSet : kAllParamSets) {
        const auto result = creator->create(params(paramSet), nullptr);
        ASSERT_TRUE(result) << paramSet;
        EXPECT_EQ(result->keyId, std::string("key-") + paramSet);
        EXPECT_EQ(result->containerId, result->keyId);
        EXPECT_FALSE(result->exportable);
        ASSERT_FALSE(result->request.empty()) << paramSet;
        EXPECT_EQ(result->request.find('\n'), std::string::npos);
        const std::string der = base64::decode(result->request.data(), result->request.size());
        EXPECT_TRUE(opensslVerifies(der)) << paramSet;
        // The request carries the token's public key object.
        const std::string bits = subjectPublicKeyBits(der);
        EXPECT_TRUE(boost::algorithm::ends_with(bits, result->publicKeyValue)) << paramSet;
        EXPECT_EQ(result->publicKeyValue.size(),
                  boost::starts_with(paramSet, "1.2.643.7.1.2.1.2") ? 128u : 64u);
    }
    EXPECT_EQ(token_->containers(device()).size(), std::size(kAllParamSets));
}

TEST_F(CsrCreatorTest, RequestsThatCannotBeMadeSayWhy) {
    const auto creator = token_->createCsrCreator();
    EXPECT_FALSE(creator->create(nullptr, nullptr));
    EXPECT_EQ(openSessions(), 0u);

    EXPECT_EQ(codeOf([&] { creator->create(params(""), nullptr); }),
              crypto::exception::AlgParamNotFound);
    EXPECT_EQ(codeOf([&] { creator->create(params("gost2012256tc26a"), nullptr); }),
              crypto::exception::AlgorithmNotFound);
    auto noProvider = params("1.2.643.2.2.35.1");
    noProvider->provider.reset();
    EXPECT_EQ(codeOf([&] { creator->create(noProvider, nullptr); }),
              crypto::exception::DeviceNotFound);
    EXPECT_TRUE(token_->containers(device()).empty());
}

TEST_F(CsrCreatorTest, WrongPinGeneratesNothing) {
    cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
        return handle->authenticate("wrong");
    };
    const auto creator = token_->createCsrCreator();
    EXPECT_EQ(codeOf([&] { creator->create(params("1.2.643.2.2.35.1"), nullptr); }),
              crypto::exception::TokensLoginFailed);
    EXPECT_TRUE(token_->containers(device()).empty());
}

TEST_F(CsrCreatorTest, ExportableIsRefusedAndSwitchedOff) {
    test::LogCapture log;
    auto request = params("1.2.643.7.1.2.1.1.1");
    request->exportable = true;
    const auto result = token_->createCsrCreator()->create(request, nullptr);
    EXPECT_FALSE(request->exportable);
    EXPECT_FALSE(result->exportable);
    EXPECT_TRUE(log.contains("cryptoki: csr.param.exportable=true unsupported, switch to false"));
}

TEST_F(CsrCreatorTest, WithoutTheKeyEngineTheKeyPairComesWithoutRequestOrOpenSslKey) {
    token_ = std::make_unique<EngineLessToken>(&session_);
    test::LogCapture log;
    const auto result = token_->createCsrCreator()->create(params("1.2.643.2.2.35.1"), nullptr);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->request.empty());
    EXPECT_EQ(result->publicKeyValue.size(), 64u);
    const auto lookedAt = log.texts();
    EXPECT_TRUE(std::any_of(lookedAt.begin(), lookedAt.end(), [](const std::string& line) {
        return boost::starts_with(line,
                                  "cryptoki: key engine not loaded: /nonexistent/rtengine.so");
    }));
    token_->cryptoki()->releaseSlot(kSlot);

    ASSERT_TRUE(token_->addCertificate(device(), certificateFor(result->publicKeyValue, "7F02"),
                                       result->keyId.data(), result->keyId.size(),
                                       softtoken::kUserPin));
    const auto key = token_->findCertificate(device(), result->keyId)->privateKey();
    EXPECT_FALSE(key->authenticate(softtoken::kUserPin));
    EXPECT_FALSE(key->isAuthenticated());
    EXPECT_EQ(openSessions(), 0u);  // nothing was opened for a key that cannot come
}

TEST_F(CsrCreatorTest, CertificateKeyIsTheEnginesKeyWhileAuthenticated) {
    const auto result = token_->createCsrCreator()->create(params("1.2.643.2.2.35.1"), nullptr);
    token_->cryptoki()->releaseSlot(kSlot);
    const auto issued = certificateFor(result->publicKeyValue, "7F01");
    ASSERT_TRUE(token_->addCertificate(device(), issued, result->keyId.data(), result->keyId.size(),
                                       softtoken::kUserPin));
    const auto onToken = token_->findCertificate(device(), result->keyId);
    ASSERT_TRUE(onToken);
    const auto key = onToken->privateKey();
    EXPECT_EQ(key, onToken->privateKey());
    EXPECT_EQ(key->context(), nullptr);
    ASSERT_TRUE(key->authenticate(softtoken::kUserPin));
    EXPECT_TRUE(key->isAuthenticated());
    EXPECT_EQ(openSessions(), 1u);  // the key keeps the slot's session

    // The engine's key is the certificate's key pair; the key engine suite signs with it.
    EXPECT_EQ(EVP_PKEY_eq(key->context(), X509_get0_pubkey(onToken->x509())), 1);
    key->release();
    EXPECT_FALSE(key->isAuthenticated());
    EXPECT_EQ(openSessions(), 0u);
}

TEST_F(CsrCreatorTest, TokenGoesAwayWhileACachedKeyIsAuthenticated) {
    const auto result = token_->createCsrCreator()->create(params("1.2.643.2.2.35.1"), nullptr);
    token_->cryptoki()->releaseSlot(kSlot);
    ASSERT_TRUE(token_->addCertificate(device(), certificateFor(result->publicKeyValue, "42"),
                                       result->keyId.data(), result->keyId.size(),
                                       softtoken::kUserPin));
    {
        const auto cached = token_->certificates(device());
        ASSERT_EQ(cached.size(), 1u);
        ASSERT_TRUE((*cached.begin())->privateKey()->authenticate(softtoken::kUserPin));
    }
    // Only the cache holds the key now; it releases its slot while the token goes.
    token_.reset();
}
