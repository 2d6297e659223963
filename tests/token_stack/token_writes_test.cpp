// Writes through the token services, checked against what the token then holds: listings
// read while caching is on, logins held by another session, and the stored attributes
// compared with OpenSSL's own encoding.
#include <functional>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "cryptoki/published.h"
#include "exception/crypto.h"
#include "ssl/certificate.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;
using kelvo::test::codeOf;
using kelvo::test::TokenServicesTest;

namespace {

using CertificatePtr = boost::shared_ptr<crypto::ICertificate>;

std::set<std::string> ders(const module::IToken::CertificateSet& certificates) {
    std::set<std::string> result;
    for (const auto& certificate : certificates) {
        result.insert(certificate->der());
    }
    return result;
}

// DER of the certificate's serial number as OpenSSL encodes it.
std::string opensslSerialDer(const std::string& certificateDer) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(certificateDer.data());
    const std::unique_ptr<X509, decltype(&X509_free)> x509(
        d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size())), X509_free);
    unsigned char* out = nullptr;
    const int length = x509 ? i2d_ASN1_INTEGER(X509_get0_serialNumber(x509.get()), &out) : 0;
    const std::string der(reinterpret_cast<const char*>(out), length > 0 ? length : 0);
    OPENSSL_free(out);
    return der;
}

}  // namespace

// Each change is followed by a listing that must show it although the one before was cached.
TEST_F(TokenServicesTest, CachedListingsShowEveryWriteDeleteAndKeyPair) {
    ASSERT_TRUE(caching_);
    const auto device = this->device();
    const auto first = certificateFor(generateKeyPair("first"), "11");
    const auto second = certificateFor(generateKeyPair("second"), "22");
    ASSERT_TRUE(token_->addCertificate(device, first, "first", 5, softtoken::kUserPin));
    CertificatePtr third;

    struct Step {
        const char* change;
        std::function<void()> make;
        std::vector<const CertificatePtr*> listed;
        std::set<std::string> containers;
    };
    const Step steps[] = {
        {"write",
         [&] { token_->addCertificate(device, second, "second", 6, softtoken::kUserPin); },
         {&first, &second},
         {"first", "second"}},
        {"delete",
         [&] {
             holdLogin();
             token_->deleteCertificate(device, first);
             releaseLogin();
         },
         {&second},
         {"first", "second"}},
        {"key pair",
         [&] { third = certificateFor(requestKeyPair("third"), "33"); },
         {&second},
         {"first", "second", "third"}},
        {"write for the new key",
         [&] { token_->addCertificate(device, third, "third", 5, softtoken::kUserPin); },
         {&second, &third},
         {"first", "second", "third"}},
    };
    for (const Step& step : steps) {
        const auto before = token_->certificates(device);
        ASSERT_FALSE(before.empty()) << step.change;
        // The listing is cached: the same objects come back while nothing changes.
        ASSERT_EQ(*token_->certificates(device).begin(), *before.begin()) << step.change;
        step.make();
        std::set<std::string> listed;
        for (const CertificatePtr* certificate : step.listed) {
            listed.insert((*certificate)->der());
        }
        EXPECT_EQ(ders(token_->certificates(device)), listed) << step.change;
        const auto containers = token_->containers(device);
        EXPECT_EQ(std::set<std::string>(containers.begin(), containers.end()), step.containers)
            << step.change;
    }
    std::set<std::wstring> listedContainers;
    for (const auto& certificate : token_->certificates(device)) {
        listedContainers.insert(certificate->container().value_or(L""));
    }
    EXPECT_EQ(listedContainers, (std::set<std::wstring>{L"second", L"third"}));
    // With the host's switch off every listing is read anew.
    const auto cached = *token_->certificates(device).begin();
    caching_ = false;
    EXPECT_NE(*token_->certificates(device).begin(), cached);
    EXPECT_EQ(openSessions(), 0u);
}

// Serials are unique per issuer only: of two certificates with one serial, each operation
// takes the one it is given.
TEST_F(TokenServicesTest, CertificatesSharingASerialAreToldApartByTheirValue) {
    const auto device = this->device();
    const std::string value = generateKeyPair("twins");
    const CertificatePtr twins[] = {
        plugin::ssl::Certificate::makeFromDer(factory_.issue(value, "77", "First twin")),
        plugin::ssl::Certificate::makeFromDer(factory_.issue(value, "77", "Second twin"))};
    for (const auto& twin : twins) {
        ASSERT_TRUE(token_->addCertificate(device, twin, "twins", 5, softtoken::kUserPin));
    }
    for (const auto& twin : {twins[1], twins[0]}) {
        const auto found = token_->findCertificate(device, twin);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->der(), twin->der());
    }
    holdLogin();
    EXPECT_TRUE(token_->deleteCertificate(device, twins[1]));
    releaseLogin();
    EXPECT_EQ(ders(token_->certificates(device)), std::set<std::string>{twins[0]->der()});
}

// The token answers CKR_USER_ALREADY_LOGGED_IN while another session of the application is
// logged in: that counts as a login, and the write goes ahead.
TEST_F(TokenServicesTest, WritesGoAheadWhileAnotherSessionHoldsTheLogin) {
    const auto device = this->device();
    const auto certificate = certificateFor(generateKeyPair("held"), "5A");
    generateKeyPair("doomed");
    int asked = 0;
    cryptoki::published().authCallback = [&asked](const auto& handle, const std::string&) {
        ++asked;
        return handle->authenticate(softtoken::kUserPin);
    };
    const std::pair<const char*, std::function<bool()>> writes[] = {
        {"add certificate",
         [&] {
             return token_->addCertificate(device, certificate, "held", 4, softtoken::kUserPin);
         }},
        {"delete certificate", [&] { return token_->deleteCertificate(device, certificate); }},
        {"delete container",
         [&] { return token_->deleteContainer(device, L"doomed", softtoken::kUserPin); }},
    };
    for (const auto& [write, run] : writes) {
        // A write starts the library afresh for the next listing: log in anew each time.
        softtoken::ScopedSession other(token_->cryptoki()->functions(), kSlot);
        ASSERT_EQ(other.login(), static_cast<CK_RV>(CKR_OK)) << write;
        bool done = false;
        EXPECT_EQ(codeOf([&, run = run] { done = run(); }), 0) << write;
        EXPECT_TRUE(done) << write;
    }
    cryptoki::published().authCallback = nullptr;
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(token_->certificates(device).empty());
    EXPECT_EQ(token_->containers(device), std::vector<std::string>{"held"});
    EXPECT_EQ(openSessions(), 0u);
}

// The serial the module writes is the certificate's own DER INTEGER, sign byte included, as
// OpenSSL encodes it; a write-then-find round trip alone would not tell.
TEST_F(TokenServicesTest, StoredSerialIsOpenSslsEncodingOfTheCertificateSerial) {
    const auto device = this->device();
    const std::string value = generateKeyPair("serials");
    const char* const serials[] = {"01",
                                   "7F",
                                   "80",
                                   "FF",
                                   "0100",
                                   "8F0102",
                                   "80112233445566778899AABBCCDDEEFF00112233",
                                   "7F112233445566778899AABBCCDDEEFF00112233"};
    for (const char* serial : serials) {
        const auto certificate = certificateFor(value, serial);
        ASSERT_TRUE(token_->addCertificate(device, certificate, nullptr, 0, softtoken::kUserPin));
        std::string der = certificate->der();
        CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
        const auto functions = token_->cryptoki()->functions();
        softtoken::ScopedSession reader(functions, kSlot);
        const auto found =
            softtoken::findObjects(functions, reader.handle(),
                                   {{CKA_CLASS, &certificateClass, sizeof(certificateClass)},
                                    {CKA_VALUE, der.data(), der.size()}});
        ASSERT_EQ(found.size(), 1u) << serial;
        EXPECT_EQ(
            softtoken::attributeValue(functions, reader.handle(), found.front(), CKA_SERIAL_NUMBER),
            opensslSerialDer(der))
            << serial;
        EXPECT_TRUE(token_->findCertificate(device, certificate)) << serial;
    }
}
