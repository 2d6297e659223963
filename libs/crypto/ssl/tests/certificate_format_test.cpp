#include <gtest/gtest.h>

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/replace.hpp>
#include <boost/exception/get_error_info.hpp>

#include "exception/application.h"
#include "exception/crypto.h"
#include "shared/base64.h"
#include "ssl/certificate.h"
#include "test_certificates.h"

namespace ssl = kelvo::plugin::ssl;
using kelvo::plugin::crypto::exception::CryptoException;
using kelvo::plugin::exception::ApplicationException;
using ssl::testing::readFile;

namespace {

boost::shared_ptr<ssl::Certificate> make(const std::string& bytes) {
    return ssl::Certificate::makeByFormat(reinterpret_cast<const unsigned char*>(bytes.data()),
                                          bytes.size());
}

template <class Exception>
int codeOf(const std::string& bytes, std::string* function = nullptr) {
    try {
        make(bytes);
    } catch (const Exception& error) {
        if (function != nullptr) {
            const char* const* name = boost::get_error_info<boost::throw_function>(error);
            *function = name != nullptr ? *name : "";
        }
        return error.code().value();
    }
    return 0;
}

}  // namespace

TEST(CertificateFormat, EmptyInputIsContentEmpty) {
    std::string function;
    EXPECT_EQ(20006, codeOf<ApplicationException>("", &function));
    EXPECT_EQ("makeByFormat", function);
    EXPECT_THROW(ssl::Certificate::makeByFormat(nullptr, 5), ApplicationException);
}

TEST(CertificateFormat, MalformedDerHeaderIsNotImplemented) {
    using Bytes = std::string;
    for (const Bytes& header :
         {Bytes("\x30\x82\x01", 3), Bytes("\x30\x80\x00\x00", 4), Bytes("\x30\x84\x01\x02", 4),
          Bytes("\x30\x82\x00\x10\x30", 5), Bytes("\x30\x83\x00\x01\x00\x02", 6)}) {
        EXPECT_EQ(20013, codeOf<ApplicationException>(header)) << header.size();
    }
}

TEST(CertificateFormat, UndecodableDerIsCertificateContextFailed) {
    const std::string der = readFile("gost2012_256.der");
    std::string function;
    EXPECT_EQ(30045, codeOf<CryptoException>(der.substr(0, der.size() / 2), &function));
    EXPECT_EQ("makeFromDer", function);
    EXPECT_EQ(30045, codeOf<CryptoException>(der.substr(0, der.size() - 1)));
    EXPECT_EQ(30045, codeOf<CryptoException>(std::string("\x01\x02\xff\xfe garbage", 13)));
    EXPECT_EQ(30045, codeOf<CryptoException>("0"));
    // A space within the first ten bytes makes text binary.
    EXPECT_EQ(30045, codeOf<CryptoException>("MIIB 8jCCAZ+gAwIBAgID"));
    // Valid Base64 of something that is no certificate.
    EXPECT_EQ(30045, codeOf<CryptoException>("SGVsbG8gd29ybGQh"));
    EXPECT_EQ(30045, codeOf<CryptoException>("========"));
}

TEST(CertificateFormat, AcceptsPemWithAnyLineEndsAndBareBase64WithAnyLineBreaks) {
    const std::string der = readFile("gost2001.der");
    const std::string crlf = readFile("gost2001.pem");
    ASSERT_NE(std::string::npos, crlf.find("\r\n"));
    std::string lf = boost::algorithm::replace_all_copy(crlf, "\r\n", "\n");
    EXPECT_EQ(der, make(crlf)->der());
    EXPECT_EQ(der, make(lf)->der());
    EXPECT_EQ(der, make("\r\n\r\n" + lf)->der());
    EXPECT_EQ(der, make(readFile("gost2001.b64"))->der());
    std::string oneLine = boost::algorithm::erase_all_copy(readFile("gost2001.b64"), "\n");
    EXPECT_EQ(der, make(oneLine)->der());
    // Line breaks within the first ten bytes: a leading one, or lines shorter than ten.
    EXPECT_EQ(der, make("\n" + oneLine)->der());
    EXPECT_EQ(der, make("\r\n" + oneLine + "\r\n")->der());
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        std::string shortLines;
        for (std::size_t at = 0; at < oneLine.size(); at += 8) {
            shortLines += oneLine.substr(at, 8) + lineEnd;
        }
        EXPECT_EQ(der, make(shortLines)->der()) << shortLines.substr(0, 20);
    }
}

TEST(CertificateFormat, TextThatIsNotBase64AfterStrippingFailsToDecode) {
    const std::string pem = readFile("gost2001.pem");
    // This armour selects the text path but is not stripped.
    const std::string x509Armour = boost::algorithm::replace_all_copy(
        boost::algorithm::replace_all_copy(pem, "BEGIN CERTIFICATE", "BEGIN X509 CERTIFICATE"),
        "END CERTIFICATE", "END X509 CERTIFICATE");
    EXPECT_THROW(make(x509Armour), kelvo::plugin::base64::DecodeError);
    EXPECT_THROW(make("Certificate:\n" + pem), kelvo::plugin::base64::DecodeError);
    EXPECT_THROW(make("MIIB8jCCAZ+g AwIBAgID"), kelvo::plugin::base64::DecodeError);
}
