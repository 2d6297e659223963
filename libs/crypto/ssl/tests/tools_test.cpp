#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/x509.h>
#include <boost/exception/get_error_info.hpp>

#include "ssl/bio.h"
#include "ssl/scoped_handle.h"
#include "ssl/tools.h"

namespace ssl = kelvo::plugin::ssl;

namespace {

int released = 0;
void countRelease(int* value) {
    ++released;
    *value = -1;
}

}  // namespace

TEST(ScopedHandle, ReleasesExactlyOnceAcrossMoves) {
    int first = 1;
    int second = 2;
    released = 0;
    {
        ssl::scoped_handle<int> a(&first, countRelease);
        ssl::scoped_handle<int> b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(&first, b.get());
        ssl::scoped_handle<int> c(&second, countRelease);
        c = std::move(b);
        EXPECT_EQ(1, released);
        EXPECT_EQ(-1, second);
        ssl::scoped_handle<int> d(nullptr, countRelease);
        EXPECT_EQ(&first, c.release());
    }
    EXPECT_EQ(1, released);
    EXPECT_EQ(1, first);
}

TEST(Holders, MemoryBioGivesWhatWasWritten) {
    ssl::BIO bio;
    ASSERT_TRUE(bio);
    BIO_puts(bio.get(), "written");
    EXPECT_EQ("written", bio.contents());
}

TEST(StripArmour, RemovesKnownArmourAndLineBreaksOnly) {
    EXPECT_EQ("MIIBabc", ssl::stripArmour("-----BEGIN CERTIFICATE-----\r\nMIIB\r\nabc\r\n"
                                          "-----END CERTIFICATE-----\r\n"));
    EXPECT_EQ("MIIC", ssl::stripArmour("-----BEGIN CERTIFICATE REQUEST-----\nMIIC\n"
                                       "-----END CERTIFICATE REQUEST-----\n"));
    EXPECT_EQ("MFkw",
              ssl::stripArmour("-----BEGIN PUBLIC KEY-----\nMFkw\n-----END PUBLIC KEY-----"));
    EXPECT_EQ("-----BEGIN X509 CERTIFICATE-----MIIB",
              ssl::stripArmour("-----BEGIN X509 CERTIFICATE-----\nMIIB\n"));
    EXPECT_EQ("a b", ssl::stripArmour("a b"));
}

TEST(ErrorText, DrainsTheQueueOntoOneLine) {
    ERR_clear_error();
    EXPECT_EQ("", ssl::errorText());
    const unsigned char garbage[] = {0x30, 0x03, 0x02, 0x01};
    const unsigned char* cursor = garbage;
    EXPECT_EQ(nullptr, d2i_X509(nullptr, &cursor, sizeof garbage));
    ERR_raise_data(ERR_LIB_X509, X509_R_CERT_ALREADY_IN_HASH_TABLE, "second error");
    const std::string text = ssl::errorText();
    EXPECT_EQ(std::string::npos, text.find('\n'));
    EXPECT_EQ(std::string::npos, text.find('\r'));
    EXPECT_NE(std::string::npos, text.find("second error"));
    EXPECT_NE(std::string::npos, text.find("asn1"));
    EXPECT_EQ("", ssl::errorText());
}

namespace {

void failingStep() {
    ERR_raise_data(ERR_LIB_X509, X509_R_CERT_ALREADY_IN_HASH_TABLE, "queued by the step");
    KELVO_THROW_SSL(kelvo::plugin::ssl::exception::SrCsrSignFailed);
}

}  // namespace

TEST(ErrorText, ThrowPatternAttachesTheQueueAndCallerName) {
    using kelvo::plugin::ssl::exception::Module_;
    using kelvo::plugin::ssl::exception::SslException;
    try {
        failingStep();
        FAIL() << "no exception";
    } catch (const SslException& error) {
        EXPECT_EQ(50017, error.code().value());
        EXPECT_EQ(std::string("failingStep"), *boost::get_error_info<boost::throw_function>(error));
        const std::string* module = boost::get_error_info<Module_>(error);
        ASSERT_NE(nullptr, module);
        EXPECT_NE(std::string::npos, module->find("queued by the step"));
    }
    EXPECT_EQ("", ssl::errorText());
}
