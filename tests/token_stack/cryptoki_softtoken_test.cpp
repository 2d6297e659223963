// The binding and the readers against the software token loaded from disk.
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/optional/optional_io.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki/device.h"
#include "cryptoki/icryptoki.h"
#include "exception/cryptoki.h"
#include "fake_certificate.h"
#include "fake_token.h"
#include "function_list_cryptoki.h"
#include "softtoken_fixture.h"

namespace {

namespace cryptoki = kelvo::plugin::cryptoki;
namespace exception = kelvo::plugin::exception;
using kelvo::test::FakeToken;
using kelvo::test::FunctionListCryptoki;
using kelvo::test::SerialCertificate;
using kelvo::test::ValueKey;
using ::testing::Contains;
using ::testing::ElementsAre;

constexpr CK_SLOT_ID kZolvexSlot = 0;
constexpr CK_SLOT_ID kOtherSlot = 2;
constexpr CK_FLAGS kFlags = CKF_SERIAL_SESSION | CKF_RW_SESSION;

class SoftToken : public ::testing::Test {
protected:
    void SetUp() override {
        directory.writeConfig(
            "[slot.0]\nmodel = ZOLVEXToken GOST\nhardware = 1.5\nfirmware = 10.0\n\n"
            "[slot.2]\nmodel = Other Token\nserial = X-77\n");
        binding = boost::make_shared<FunctionListCryptoki>(softtoken::kLibraryPath);
        ASSERT_NE(binding->functions(), nullptr);
        softtoken::provisionToken(binding->functions(), kZolvexSlot);
        ASSERT_EQ(binding->initialize(), CKR_OK);
    }
    void TearDown() override {
        binding->releaseSlot(kZolvexSlot);
        binding->finalize();
    }

    CK_ULONG sessionCount() {
        CK_TOKEN_INFO info{};
        EXPECT_EQ(binding->getTokenInfo(kZolvexSlot, &info), CKR_OK);
        return info.ulSessionCount;
    }
    CK_STATE sessionState() {
        CK_SESSION_INFO info{};
        binding->functions()->C_GetSessionInfo(binding->sessionHandle(kZolvexSlot), &info);
        return info.state;
    }
    CK_RV login() {
        std::string pin = softtoken::kUserPin;
        return binding->login(kZolvexSlot, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                              pin.size());
    }

    softtoken::TemporaryTokenDirectory directory;
    boost::shared_ptr<FunctionListCryptoki> binding;
};

TEST_F(SoftToken, DevicesDescribeTheTokens) {
    std::vector<CK_SLOT_ID> slotIds;
    ASSERT_EQ(binding->slotList(true, slotIds), CKR_OK);
    EXPECT_THAT(slotIds, ElementsAre(kZolvexSlot, kOtherSlot));

    FakeToken token(binding);
    const cryptoki::Device zolvex(token, kZolvexSlot);
    EXPECT_EQ(zolvex.label, "test token");
    EXPECT_EQ(zolvex.model, "ZOLVEXToken GOST");
    EXPECT_EQ(zolvex.serial, "0000001234");
    EXPECT_EQ(zolvex.id, "ZOLVEXToken GOST 0000001234");
    EXPECT_EQ(zolvex.hardwareVersion, "1.5");
    EXPECT_EQ(zolvex.firmwareVersion, "10.0");
    EXPECT_TRUE(zolvex.matches("zolvextoken gost 0000001234"));

    const cryptoki::Device other(token, kOtherSlot);
    EXPECT_EQ(other.id, "Other Token X-77");
    EXPECT_EQ(other.hardwareVersion, "1.0");
}

TEST_F(SoftToken, UnknownSlotIsToleratedByTheDevice) {
    // CKR_SLOT_ID_INVALID is among the tolerated failures: the record stays zero.
    FakeToken token(binding);
    const cryptoki::Device device(token, 9);
    EXPECT_EQ(device.hardwareVersion, "0.0");
    EXPECT_EQ(device.serial, std::string(16, '\0'));
}

TEST_F(SoftToken, FailingLibrarySessionCallsAreStillCounted) {
    const auto restartWithFaults = [this](const std::string& rules) {
        binding->finalize();
        directory.writeConfig("[slot.0]\nmodel = ZOLVEXToken GOST\n\n[faults]\nrules = " + rules +
                              "\n");
        ASSERT_EQ(binding->initialize(), CKR_OK);
    };

    restartWithFaults("C_OpenSession:*:0x6");
    EXPECT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_FUNCTION_FAILED);
    EXPECT_EQ(binding->sessionHandle(kZolvexSlot), 0u);
    EXPECT_EQ(binding->closeSession(kZolvexSlot), CKR_OK);

    restartWithFaults("C_CloseSession:*:0x30");
    ASSERT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
    const CK_SESSION_HANDLE session = binding->sessionHandle(kZolvexSlot);
    EXPECT_EQ(binding->closeSession(kZolvexSlot), CKR_DEVICE_ERROR);
    EXPECT_EQ(sessionCount(), 1u);
    // The kept session is reused, not opened again.
    EXPECT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
    EXPECT_EQ(binding->sessionHandle(kZolvexSlot), session);
    EXPECT_EQ(sessionCount(), 1u);
}

TEST_F(SoftToken, CountedSessionsOpenOneRealSession) {
    EXPECT_EQ(sessionCount(), 0u);
    ASSERT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
    ASSERT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
    EXPECT_EQ(sessionCount(), 1u);
    EXPECT_EQ(binding->closeSession(kZolvexSlot), CKR_OK);
    EXPECT_EQ(sessionCount(), 1u);
    EXPECT_EQ(binding->closeSession(kZolvexSlot), CKR_OK);
    EXPECT_EQ(sessionCount(), 0u);
}

TEST_F(SoftToken, ReleaseSlotLogsOutAndClosesEverything) {
    binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr);
    binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr);
    ASSERT_EQ(login(), CKR_OK);
    ASSERT_EQ(login(), CKR_OK);
    EXPECT_EQ(sessionState(), CKS_RW_USER_FUNCTIONS);
    binding->setLocked(kZolvexSlot, true);
    EXPECT_EQ(binding->logout(kZolvexSlot), CKR_OK);
    EXPECT_EQ(sessionState(), CKS_RW_USER_FUNCTIONS);

    EXPECT_EQ(binding->releaseSlot(kZolvexSlot), CKR_OK);
    EXPECT_EQ(sessionCount(), 0u);
    EXPECT_FALSE(binding->isLoggedIn(kZolvexSlot));

    // A new session starts logged out.
    binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr);
    EXPECT_EQ(sessionState(), CKS_RW_PUBLIC_SESSION);
    binding->closeSession(kZolvexSlot);
}

TEST_F(SoftToken, WrongPinIsNotCounted) {
    binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr);
    std::string pin = "00000000";
    EXPECT_EQ(binding->login(kZolvexSlot, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                             pin.size()),
              CKR_PIN_INCORRECT);
    EXPECT_FALSE(binding->isLoggedIn(kZolvexSlot));
    EXPECT_EQ(login(), CKR_OK);
    EXPECT_TRUE(binding->isLoggedIn(kZolvexSlot));
    binding->logout(kZolvexSlot);
    binding->closeSession(kZolvexSlot);
}

TEST_F(SoftToken, MechanismsMatchTheSlotsList) {
    const auto mechanisms = cryptoki::mechanisms(*binding, kZolvexSlot);
    std::vector<CK_MECHANISM_TYPE> listed;
    ASSERT_EQ(binding->mechanismList(kZolvexSlot, listed), CKR_OK);
    EXPECT_EQ(mechanisms, listed);
    EXPECT_THAT(mechanisms, Contains(CKM_GOSTR3410_KEY_PAIR_GEN));
}

class SoftTokenObjects : public SoftToken {
protected:
    void SetUp() override {
        SoftToken::SetUp();
        ASSERT_EQ(binding->openSession(kZolvexSlot, kFlags, nullptr, nullptr), CKR_OK);
        ASSERT_EQ(login(), CKR_OK);
    }
    void TearDown() override {
        binding->logout(kZolvexSlot);
        binding->closeSession(kZolvexSlot);
        SoftToken::TearDown();
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

    // A GOST R 34.10-2012 256-bit key pair (CryptoPro A parameters) named by id.
    std::pair<CK_OBJECT_HANDLE, CK_OBJECT_HANDLE> generateKeyPair(std::string id) {
        std::string paramSet("\x06\x07\x2a\x85\x03\x02\x02\x23\x01", 9);
        std::string hash("\x06\x08\x2a\x85\x03\x07\x01\x01\x02\x02", 10);
        CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
        CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
        CK_KEY_TYPE keyType = CKK_GOSTR3410;
        CK_BBOOL yes = CK_TRUE;
        std::vector<CK_ATTRIBUTE> publicTemplate{
            {CKA_CLASS, &publicClass, sizeof(publicClass)},
            {CKA_ID, id.data(), id.size()},
            {CKA_TOKEN, &yes, 1},
            {CKA_KEY_TYPE, &keyType, sizeof(keyType)},
            {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
            {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
        std::vector<CK_ATTRIBUTE> privateTemplate{
            {CKA_CLASS, &privateClass, sizeof(privateClass)},
            {CKA_ID, id.data(), id.size()},
            {CKA_TOKEN, &yes, 1},
            {CKA_PRIVATE, &yes, 1},
            {CKA_SIGN, &yes, 1},
            {CKA_KEY_TYPE, &keyType, sizeof(keyType)},
            {CKA_GOSTR3410_PARAMS, paramSet.data(), paramSet.size()},
            {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
        CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
        CK_OBJECT_HANDLE publicKey = 0;
        CK_OBJECT_HANDLE privateKey = 0;
        EXPECT_EQ(binding->generateKeyPair(kZolvexSlot, &mechanism, publicTemplate.data(),
                                           publicTemplate.size(), privateTemplate.data(),
                                           privateTemplate.size(), &publicKey, &privateKey),
                  CKR_OK);
        return {publicKey, privateKey};
    }
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
        cryptoki::attribute(*binding, kZolvexSlot, keys.second, CKA_VALUE);
        FAIL() << "no exception";
    } catch (const exception::CryptokiException& error) {
        EXPECT_EQ(error.code().value(), exception::CkrAttributeSensitive);
    }
    std::error_code error;
    EXPECT_EQ(cryptoki::attribute(*binding, kZolvexSlot, keys.second, CKA_VALUE, error), "");
    EXPECT_EQ(error.value(), exception::CkrAttributeSensitive);
}

}  // namespace
