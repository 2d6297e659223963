// The binding and the readers against the software token loaded from disk.
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/optional/optional_io.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki/icryptoki.h"
#include "exception/cryptoki.h"
#include "fake_certificate.h"
#include "function_list_cryptoki.h"
#include "gost_key_pair.h"
#include "softtoken_fixture.h"

namespace {

namespace cryptoki = kelvo::plugin::cryptoki;
namespace exception = kelvo::plugin::exception;
using kelvo::test::FunctionListCryptoki;
using kelvo::test::SerialCertificate;
using kelvo::test::ValueKey;
using ::testing::ElementsAre;

constexpr CK_SLOT_ID kZolvexSlot = 0;
constexpr CK_FLAGS kFlags = CKF_SERIAL_SESSION | CKF_RW_SESSION;

// A provisioned token with the binding's session of the slot open and logged in.
class SoftTokenObjects : public ::testing::Test {
protected:
    void SetUp() override {
        directory.writeConfig("[slot.0]\nmodel = ZOLVEXToken GOST\n");
        binding = boost::make_shared<FunctionListCryptoki>(softtoken::kLibraryPath);
        ASSERT_NE(binding->functions(), nullptr);
        softtoken::provisionToken(binding->functions(), kZolvexSlot);
        ASSERT_EQ(binding->initialize(), CKR_OK);
        ASSERT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
        std::string pin = softtoken::kUserPin;
        ASSERT_EQ(binding->login(kZolvexSlot, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                                 pin.size()),
                  CKR_OK);
    }
    void TearDown() override {
        binding->releaseSlot(kZolvexSlot);
        binding->finalize();
    }

    CK_OBJECT_HANDLE createCertificate(const std::string& serialDer, std::string id,
                                       std::string value) {
        CK_OBJECT_CLASS objectClass = CKO_CERTIFICATE;
        CK_BBOOL yes = CK_TRUE;
        std::string serial = serialDer;
        std::vector<CK_ATTRIBUTE> attributes{{CKA_CLASS, &objectClass, sizeof(objectClass)},
                                             {CKA_TOKEN, &yes, 1},
                                             {CKA_SERIAL_NUMBER, serial.data(), serial.size()},
                                             {CKA_ID, id.data(), id.size()},
                                             {CKA_VALUE, value.data(), value.size()}};
        CK_OBJECT_HANDLE handle = 0;
        EXPECT_EQ(binding->createObject(kZolvexSlot, attributes.data(), attributes.size(), &handle),
                  CKR_OK);
        return handle;
    }

    kelvo::test::KeyPair generateKeyPair(const std::string& id) {
        return kelvo::test::generateGostKeyPair(binding->functions(),
                                                binding->sessionHandle(kZolvexSlot), id);
    }

    softtoken::TemporaryTokenDirectory directory;
    boost::shared_ptr<FunctionListCryptoki> binding;
};

TEST_F(SoftTokenObjects, CertificatesAreFoundBySerialAndRead) {
    const std::string serialDer("\x02\x02\x12\x34", 4);
    const CK_OBJECT_HANDLE first = createCertificate(serialDer, "cont", "first value");
    createCertificate(std::string("\x02\x01\x07", 3), "", "second value");

    auto search = cryptoki::certificateTemplate(SerialCertificate(std::string("\x34\x12", 2)));
    const auto found = cryptoki::objects(*binding, kZolvexSlot, search.data(), search.size());
    ASSERT_THAT(found, ElementsAre(first));
    EXPECT_EQ(cryptoki::attribute(*binding, kZolvexSlot, first, CKA_VALUE), "first value");
    EXPECT_EQ(cryptoki::attribute(*binding, kZolvexSlot, first, CKA_ID), "cont");

    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE all{CKA_CLASS, &certificateClass, sizeof(certificateClass)};
    EXPECT_EQ(cryptoki::objects(*binding, kZolvexSlot, &all, 1).size(), 2u);
}

TEST_F(SoftTokenObjects, KeyPairsAreFoundByValueAndId) {
    const auto [publicKey, privateKey] = generateKeyPair("container 1");
    generateKeyPair("container 2");

    EXPECT_EQ(cryptoki::keyType(*binding, kZolvexSlot, publicKey),
              boost::optional<CK_KEY_TYPE>(CKK_GOSTR3410));
    EXPECT_EQ(cryptoki::pairedPrivateKey(*binding, kZolvexSlot, publicKey),
              boost::optional<CK_OBJECT_HANDLE>(privateKey));

    // A certificate's subjectPublicKey wraps the value in an OCTET STRING.
    const std::string value = cryptoki::attribute(*binding, kZolvexSlot, publicKey, CKA_VALUE);
    ASSERT_EQ(value.size(), 64u);
    EXPECT_EQ(cryptoki::publicKeyByValue(*binding, kZolvexSlot, ValueKey("\x04\x40" + value)),
              boost::optional<CK_OBJECT_HANDLE>(publicKey));

    auto container = cryptoki::containerTemplate("container 1");
    EXPECT_THAT(cryptoki::objects(*binding, kZolvexSlot, container.data(), container.size()),
                ElementsAre(publicKey));
}

TEST_F(SoftTokenObjects, PrivateValuesAreRefused) {
    const auto keys = generateKeyPair("secret");
    try {
        cryptoki::attribute(*binding, kZolvexSlot, keys.privateKey, CKA_VALUE);
        FAIL() << "no exception";
    } catch (const exception::CryptokiException& error) {
        EXPECT_EQ(error.code().value(), exception::CkrAttributeSensitive);
    }
    std::error_code error;
    EXPECT_EQ(cryptoki::attribute(*binding, kZolvexSlot, keys.privateKey, CKA_VALUE, error), "");
    EXPECT_EQ(error.value(), exception::CkrAttributeSensitive);
}

}  // namespace
