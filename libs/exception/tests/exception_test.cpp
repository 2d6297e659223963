#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exception/application.h"
#include "exception/crypto.h"
#include "exception/cryptoki.h"
#include "exception/last_error.h"
#include "exception/ssl.h"
#include "exception/xml.h"
#include "platform/environment.h"

using namespace kelvo::plugin;
using crypto::exception::CryptoException;
using crypto::exception::Message_;
using exception::ApplicationException;
using exception::CryptokiException;
using ssl::exception::Module_;
using ssl::exception::SslException;

namespace {

// Read as the host reads the environment, which on Windows is not the C runtime's copy.
std::string env(const char* name) {
    return kelvo::platform::environment::get(name).value_or("<unset>");
}

const int kThrowLine = __LINE__ + 5;

template <class E>
E caught(const E& thrown) {
    try {
        BOOST_THROW_EXCEPTION(thrown);
    } catch (const E& e) {
        return e;
    }
    return thrown;
}

class ExceptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        kelvo::platform::environment::unset("__ex_fileinfo");
        kelvo::platform::environment::unset("__ex_string");
    }
};

}  // namespace

TEST(ErrorCategories, MessagesAndUnknownCodes) {
    EXPECT_EQ(exception::applicationCategory().message(0), "Успешное выполнение операции");
    EXPECT_EQ(exception::applicationCategory().message(20011), "unknown error");
    EXPECT_EQ(ssl::exception::sslCategory().message(50020), "unknown error");
    EXPECT_EQ(exception::cryptokiCategory().message(40000), "unknown error");
    // Vendor-defined values share the message of the standard value they mirror.
    EXPECT_EQ(exception::cryptokiCategory().message(40439),
              exception::cryptokiCategory().message(49045));
}

TEST(CryptokiRule, ConversionAndToleratedValues) {
    EXPECT_EQ(exception::toErrorCode(0xA0), 40160);
    EXPECT_EQ(exception::toErrorCode(0x80000000ul), 49000);
    EXPECT_EQ(exception::toErrorCode(0x80000005ul), 49005);
    EXPECT_EQ(exception::toErrorCode(0x150), 40336);
    EXPECT_EQ(exception::toErrorCode(0x80000030ul), 49048);
    EXPECT_EQ(exception::cryptokiCategory().message(49048), "unknown error");
    // Bits above 15 (other than the top one) do not change the code.
    EXPECT_EQ(exception::toErrorCode(0x000100A0ul), 40160);

    for (unsigned long tolerated : {0x0ul, 0x3ul, 0x5ul, 0x6ul, 0xB3ul, 0xE0ul, 0x191ul}) {
        EXPECT_FALSE(exception::isCryptokiError(tolerated)) << tolerated;
    }
    EXPECT_TRUE(exception::isCryptokiError(0xA0));
    EXPECT_TRUE(exception::isCryptokiError(0x80000000ul));
    EXPECT_TRUE(exception::isCryptokiError(0x8000FFFFul));
}

TEST_F(ExceptionTest, ConstructionRewritesTheLastErrorRecord) {
    kelvo::platform::environment::set("__ex_string", "stale");
    kelvo::platform::environment::set("__ex_custom", "stale");
    CryptokiException e(40160);
    EXPECT_EQ(env("__ex_code"), "40160");
    EXPECT_EQ(env("__ex_category"), "Cryptoki");
    EXPECT_EQ(env("__ex_msg"), "Неверный PIN-код");
    EXPECT_EQ(env("__ex_string"), "<unset>");
    EXPECT_EQ(env("__ex_custom"), "<unset>");

    ApplicationException negative(-5);
    EXPECT_EQ(env("__ex_code"), "-5");
    EXPECT_EQ(env("__ex_msg"), "unknown error");
}

TEST_F(ExceptionTest, WhatShowsAttachedTextAndThrowLocation) {
    const auto e =
        caught(CryptoException(crypto::exception::TokenInitializeFailed) << Message_("zolvex"));
    const std::string expected = "30043 Crypto 'Ошибка инициализации ресурсов токена': zolvex\t(" +
                                 std::string("exception_test.cpp:") + std::to_string(kThrowLine) +
                                 ") caught";
    EXPECT_EQ(e.what(), expected);

    // Lambdas are recorded the way the host spells them.
    try {
        [] { BOOST_THROW_EXCEPTION(CryptokiException(40160)); }();
        ADD_FAILURE() << "nothing thrown";
    } catch (const CryptokiException& lambda) {
        EXPECT_THAT(lambda.what(), ::testing::EndsWith(") operator ()"));
    }
}

TEST_F(ExceptionTest, OlderExceptionDescribesTheNewestRecord) {
    ApplicationException first(exception::Generic);
    CryptokiException second(40224);
    EXPECT_STREQ(first.what(), "40224 Cryptoki 'Токен отсутствует'");
    EXPECT_STREQ(first.message(), "Токен отсутствует");
    // The PKCS#11 and SSL messages come from their own code, not from the record.
    EXPECT_STREQ(CryptokiException(40160).message(), "Неверный PIN-код");
}

TEST_F(ExceptionTest, XmlSignatureFailureTakesItsMessageFromTheAttachedText) {
    CryptoException xml(crypto::exception::XmlSignatureFailed);
    xml << Message_("bad reference");
    EXPECT_STREQ(xml.message(), "bad reference");

    CryptoException other(crypto::exception::ContainerNotFound);
    other << Message_("ignored");
    EXPECT_STREQ(other.message(), "Не найден контейнер");
}

TEST_F(ExceptionTest, WhatJoinsCodeCategoryMessageAttachmentsAndLocation) {
    EXPECT_STREQ(CryptokiException(40164).what(), "40164 Cryptoki 'PIN-код заблокирован'");

    // The file information comes before the attached string.
    SslException signing(ssl::exception::SrCsrSignFailed);
    signing << Module_("queue text");
    kelvo::platform::environment::set("__ex_fileinfo", "file.xml");
    EXPECT_STREQ(signing.what(), "50017 Ssl 'Ошибка подписи CSR': file.xml,queue text");
    kelvo::platform::environment::unset("__ex_fileinfo");

    // Backslash paths show their last component.
    CryptokiException located(40160);
    located << boost::throw_file("C:\\src\\libs\\icryptoki.cpp") << boost::throw_line(31)
            << boost::throw_function("attribute");
    EXPECT_STREQ(located.what(), "40160 Cryptoki 'Неверный PIN-код'\t(icryptoki.cpp:31) attribute");
}
