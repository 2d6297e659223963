#include "cryptoki/icryptoki.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/exception/get_error_info.hpp>
#include <boost/optional/optional_io.hpp>

#include "exception/cryptoki.h"
#include "fake_certificate.h"
#include "fake_library.h"
#include "function_list_cryptoki.h"

namespace {

namespace cryptoki = kelvo::plugin::cryptoki;
namespace exception = kelvo::plugin::exception;
using kelvo::test::FakeLibrary;
using kelvo::test::FunctionListCryptoki;
using kelvo::test::SerialCertificate;
using kelvo::test::ulongBytes;
using kelvo::test::ValueKey;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr CK_SLOT_ID kSlot = 1;
using Handle = boost::optional<CK_OBJECT_HANDLE>;
using KeyType = boost::optional<CK_KEY_TYPE>;

std::string bytes(const std::vector<unsigned char>& values) {
    return std::string(values.begin(), values.end());
}

std::string attributeValue(const CK_ATTRIBUTE& attribute) {
    return std::string(static_cast<const char*>(attribute.pValue), attribute.ulValueLen);
}

// The call raises the code from the named function.
template <class Call>
void expectRaised(Call&& call, int code, const char* function) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected " << code;
    } catch (const exception::CryptokiException& error) {
        EXPECT_EQ(error.code().value(), code);
        EXPECT_EQ(*boost::get_error_info<boost::throw_function>(error), std::string(function));
    }
}

class TokenObjects : public ::testing::Test {
protected:
    void SetUp() override {
        cryptoki.openSession(kSlot, CKF_SERIAL_SESSION, nullptr, nullptr);
        library.calls.clear();
    }
    void TearDown() override { cryptoki.closeSession(kSlot); }

    void add(CK_OBJECT_HANDLE handle, CK_OBJECT_CLASS objectClass, const std::string& id,
             const std::string& value) {
        library.objects.push_back({handle,
                                   {{CKA_CLASS, ulongBytes(objectClass)},
                                    {CKA_ID, id},
                                    {CKA_VALUE, value},
                                    {CKA_KEY_TYPE, ulongBytes(CKK_GOSTR3410)}}});
    }

    FakeLibrary library;
    FunctionListCryptoki cryptoki{library.functionList()};
};

TEST_F(TokenObjects, AttributeReadsLengthThenValue) {
    add(7, CKO_CERTIFICATE, "id", std::string("der\0bytes", 9));
    EXPECT_EQ(cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE), std::string("der\0bytes", 9));
    EXPECT_THAT(library.calls, ElementsAre("C_GetAttributeValue 101", "C_GetAttributeValue 101"));
}

TEST_F(TokenObjects, AttributeFailuresRaiseOrFillTheErrorCode) {
    add(7, CKO_CERTIFICATE, "id", "value");
    expectRaised([&] { cryptoki::attribute(cryptoki, kSlot, 7, CKA_SERIAL_NUMBER); },
                 exception::CkrAttributeTypeInvalid, "attribute");

    library.failures["C_GetAttributeValue"] = CKR_PIN_INCORRECT;
    std::error_code error;
    EXPECT_EQ(cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE, error), "");
    EXPECT_EQ(error.value(), 40160);
    EXPECT_EQ(&error.category(), &exception::cryptokiCategory());

    library.failures.clear();
    EXPECT_EQ(cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE, error), "value");
    EXPECT_FALSE(error);
}

TEST_F(TokenObjects, ToleratedFailureGivesAnEmptyAttributeUnlessTheSessionDied) {
    library.failures["C_GetAttributeValue"] = CKR_FUNCTION_FAILED;
    EXPECT_EQ(cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE), "");

    // Tolerated at start-up and in slot listings, these raise on a session, the quiet form
    // included: a value missing for that reason is no empty value.
    for (const CK_RV dead : {CKR_SESSION_HANDLE_INVALID, CKR_TOKEN_NOT_PRESENT}) {
        library.failures["C_GetAttributeValue"] = dead;
        const int code = exception::toErrorCode(dead);
        for (const bool quiet : {false, true}) {
            try {
                std::error_code error;
                quiet ? cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE, error)
                      : cryptoki::attribute(cryptoki, kSlot, 7, CKA_VALUE);
                ADD_FAILURE() << dead << " passed";
            } catch (const exception::CryptokiException& error) {
                EXPECT_EQ(error.code().value(), code);
            }
        }
    }
}

TEST_F(TokenObjects, KeyTypeNeedsAWholeNumber) {
    add(7, CKO_PUBLIC_KEY, "id", "value");
    EXPECT_EQ(cryptoki::keyType(cryptoki, kSlot, 7), KeyType(CKK_GOSTR3410));

    library.objects[0].attributes[CKA_KEY_TYPE] = std::string(3, '\0');
    EXPECT_EQ(cryptoki::keyType(cryptoki, kSlot, 7), boost::none);

    std::error_code error;
    EXPECT_EQ(cryptoki::keyType(cryptoki, kSlot, 8, error), boost::none);
    EXPECT_EQ(error.value(), exception::CkrObjectHandleInvalid);
}

TEST_F(TokenObjects, ObjectsSearchesOnceReturnsAtMost128AndFailsWithoutTheFinalCall) {
    for (CK_OBJECT_HANDLE handle = 1; handle <= 130; ++handle) {
        add(handle, CKO_CERTIFICATE, "", "");
    }
    CK_OBJECT_CLASS certificate = CKO_CERTIFICATE;
    CK_ATTRIBUTE search{CKA_CLASS, &certificate, sizeof(certificate)};
    const auto found = cryptoki::objects(cryptoki, kSlot, &search, 1);
    ASSERT_EQ(found.size(), 128u);
    EXPECT_EQ(found.front(), 1u);
    EXPECT_EQ(found.back(), 128u);
    EXPECT_THAT(library.calls, ElementsAre("C_FindObjectsInit 101", "C_FindObjects 101",
                                           "C_FindObjectsFinal 101"));

    // A failed search skips the final call.
    library.calls.clear();
    library.failures["C_FindObjects"] = CKR_OPERATION_NOT_INITIALIZED;
    expectRaised([&] { cryptoki::objects(cryptoki, kSlot, nullptr, 0); },
                 exception::CkrOperationNotInitialized, "objects");
    EXPECT_THAT(library.calls, ElementsAre("C_FindObjectsInit 101", "C_FindObjects 101"));
}

TEST_F(TokenObjects, MechanismsAskForTheCountFirst) {
    EXPECT_THAT(cryptoki::mechanisms(cryptoki, kSlot), IsEmpty());
    EXPECT_THAT(library.calls, ElementsAre("C_GetMechanismList 1"));

    library.mechanisms = {CKM_GOSTR3410, CKM_GOSTR3411};
    EXPECT_THAT(cryptoki::mechanisms(cryptoki, kSlot), ElementsAre(CKM_GOSTR3410, CKM_GOSTR3411));

    library.failures["C_GetMechanismList"] = CKR_SLOT_ID_INVALID;  // tolerated
    EXPECT_THAT(cryptoki::mechanisms(cryptoki, kSlot), IsEmpty());
    library.failures["C_GetMechanismList"] = CKR_DEVICE_REMOVED;
    expectRaised([&] { cryptoki::mechanisms(cryptoki, kSlot); }, exception::CkrDeviceRemoved,
                 "mechanisms");
}

TEST_F(TokenObjects, ManyMechanismsAreReadWithoutOverflow) {
    library.mechanisms.assign(300, CKM_GOSTR3411);
    EXPECT_EQ(cryptoki::mechanisms(cryptoki, kSlot).size(), 300u);

    // A library whose count query overstates what it then writes.
    library.mechanisms.assign(3, CKM_GOSTR3411);
    library.reportedMechanismCount = 200;
    EXPECT_EQ(cryptoki::mechanisms(cryptoki, kSlot).size(), 3u);
}

TEST(Templates, CertificateTemplateHoldsTheSerialAsDerInteger) {
    const auto search = cryptoki::certificateTemplate(SerialCertificate(bytes({0x34, 0x12})));
    ASSERT_EQ(search.size(), 2u);
    EXPECT_EQ(search[0].type, CKA_CLASS);
    EXPECT_EQ(attributeValue(search[0]), ulongBytes(CKO_CERTIFICATE));
    EXPECT_EQ(search[1].type, CKA_SERIAL_NUMBER);
    EXPECT_EQ(attributeValue(search[1]), bytes({0x02, 0x02, 0x12, 0x34}));

    // The certificate's own DER, whether the serial comes with its sign byte (as the reader
    // gives it), without it, or with zeros to spare (least significant byte first).
    for (const auto& [serial, der] :
         {std::pair{bytes({0x80, 0x00}), bytes({0x02, 0x02, 0x00, 0x80})},
          std::pair{bytes({0x80}), bytes({0x02, 0x02, 0x00, 0x80})},
          std::pair{bytes({0x7F, 0x00}), bytes({0x02, 0x01, 0x7F})},
          std::pair{bytes({0x00}), bytes({0x02, 0x01, 0x00})}}) {
        EXPECT_EQ(attributeValue(cryptoki::certificateTemplate(SerialCertificate(serial))[1]), der);
    }
    // An overlong serial takes the long length form.
    const std::string serial(200, '\x01');
    const std::string value =
        attributeValue(cryptoki::certificateTemplate(SerialCertificate(serial))[1]);
    EXPECT_EQ(value.substr(0, 3), bytes({0x02, 0x81, 200}));
    EXPECT_EQ(value.size(), 203u);
}

// Serials are unique per issuer only and other writers encode them otherwise: the value
// decides which object is the certificate's own.
TEST_F(TokenObjects, CertificateObjectsHoldTheCertificateItself) {
    const auto certificate = [this](CK_OBJECT_HANDLE handle, const std::string& serial,
                                    const std::string& value) {
        library.objects.push_back({handle,
                                   {{CKA_CLASS, ulongBytes(CKO_CERTIFICATE)},
                                    {CKA_SERIAL_NUMBER, serial},
                                    {CKA_VALUE, value}}});
    };
    certificate(1, bytes({0x02, 0x01, 0x05}), "issued by B");
    certificate(2, bytes({0x05}), "issued by A");
    certificate(3, "", "issued by C");
    const struct {
        std::string serial;
        std::string value;
        std::vector<CK_OBJECT_HANDLE> handles;
    } cases[]{{"\x05", "issued by A", {2}},
              {"\x05", "issued by B", {1}},
              {"\x07", "issued by C", {3}},
              {"\x05", "issued by D", {}}};
    for (const auto& row : cases) {
        EXPECT_EQ(
            cryptoki::certificateObjects(cryptoki, kSlot, SerialCertificate(row.serial, row.value)),
            row.handles)
            << row.value;
    }
}

TEST_F(TokenObjects, PairedPrivateKeySharesTheId) {
    add(1, CKO_PUBLIC_KEY, "pair", "public");
    add(2, CKO_PRIVATE_KEY, "other", "");
    add(3, CKO_PRIVATE_KEY, "pair", "");
    add(4, CKO_PUBLIC_KEY, "lonely", "");
    EXPECT_EQ(cryptoki::pairedPrivateKey(cryptoki, kSlot, 1), Handle(3));
    EXPECT_EQ(cryptoki::pairedPrivateKey(cryptoki, kSlot, 4), boost::none);
}

TEST_F(TokenObjects, PublicKeyByValueFindsTheValueInsideTheKeyIgnoringCase) {
    add(1, CKO_PUBLIC_KEY, "a", "zzzz");
    add(2, CKO_PUBLIC_KEY, "b", "key-Bytes");
    add(3, CKO_CERTIFICATE, "c", "");
    EXPECT_EQ(cryptoki::publicKeyByValue(cryptoki, kSlot, ValueKey("\x04\x40 KEY-bytes tail")),
              Handle(2));
    EXPECT_EQ(cryptoki::publicKeyByValue(cryptoki, kSlot, ValueKey("nothing")), boost::none);

    const std::string value(64, '\xAB');
    library.objects[0].attributes[CKA_VALUE] = value;
    EXPECT_EQ(cryptoki::publicKeyByValue(cryptoki, kSlot, ValueKey("\x03\x43" + value + "\x01")),
              Handle(1));

    library.objects[0].attributes[CKA_VALUE] = "";
    EXPECT_EQ(cryptoki::publicKeyByValue(cryptoki, kSlot, ValueKey("")), Handle(1));

    // Without public keys nothing is read.
    library.objects.erase(library.objects.begin(), library.objects.begin() + 2);
    library.calls.clear();
    EXPECT_EQ(cryptoki::publicKeyByValue(cryptoki, kSlot, ValueKey("key")), boost::none);
    EXPECT_THAT(library.calls, ElementsAre("C_FindObjectsInit 101", "C_FindObjects 101",
                                           "C_FindObjectsFinal 101"));
}

}  // namespace
