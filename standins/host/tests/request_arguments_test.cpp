#include <openssl/objects.h>
#include <boost/program_options/errors.hpp>

#include <gtest/gtest.h>

#include "request_arguments.h"

using namespace kelvo::host::app;
using boost::program_options::error;

namespace {

// The message of the error the call throws; empty when it accepts.
template <class Call>
std::string refusal(Call call) {
    try {
        call();
    } catch (const error& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(RequestArguments, KeyUsagesAreNamesOrANumberOfTheirBits) {
    EXPECT_EQ(keyUsageMask("digitalSignature, nonRepudiation"), 0xC0u);
    EXPECT_EQ(keyUsageMask("0xC0"), 0xC0u);
    EXPECT_EQ(keyUsageMask("192"), 0xC0u);
    EXPECT_EQ(keyUsageMask("0x8000"), 0x8000u);
    EXPECT_EQ(keyUsageMask(""), 0u);
    for (const char* bad : {"0xZZ", "0x100", "12abc", "99999999999", "0x"}) {
        EXPECT_NE(refusal([bad] { keyUsageMask(bad); }).find("digitalSignature"), std::string::npos)
            << bad;
    }
    const std::string unknown = refusal([] { keyUsageMask("digitalSignature,signing"); });
    EXPECT_NE(unknown.find("\"signing\""), std::string::npos);
    EXPECT_NE(unknown.find("nonRepudiation"), std::string::npos);
    EXPECT_FALSE(refusal([] { keyUsageMask("digitalSignature,"); }).empty());
}

TEST(RequestArguments, ExtendedKeyUsagesAreKnownNamesOrOids) {
    EXPECT_EQ(extendedKeyUsages({"clientAuth,1.3.6.1.5.5.7.3.4", "emailProtection"}),
              (std::vector<std::string>{"clientAuth", "1.3.6.1.5.5.7.3.4", "emailProtection"}));
    // What the host offers, OpenSSL must know: the request builder hands the names to it.
    const std::string names = refusal([] { extendedKeyUsages({"signing"}); });
    for (const char* name :
         {"serverAuth", "clientAuth", "codeSigning", "emailProtection", "timeStamping",
          "OCSPSigning", "msSmartcardLogin", "msEFS", "anyExtendedKeyUsage"}) {
        EXPECT_NE(names.find(name), std::string::npos) << name;
        EXPECT_NE(OBJ_sn2nid(name), NID_undef) << name;
    }
    for (const char* bad : {"0xZZ", "1.3.6.x", "commonName"}) {
        EXPECT_FALSE(refusal([bad] { extendedKeyUsages({bad}); }).empty()) << bad;
    }
}

TEST(RequestArguments, SubjectOidsAndKindsAreCheckedBeforeTheToken) {
    EXPECT_TRUE(
        refusal([] { checkSubject("cn=A;O=B;1.2.643.100.3=123;emailAddress=a@b;"); }).empty());
    EXPECT_TRUE(refusal([] { checkSubject("CN=A;inn_le=1;ogrn-ip=2"); }).empty());
    for (const char* bad : {"zz=A", "cn", "=A", "cn=A;;x=1"}) {
        EXPECT_NE(refusal([bad] { checkSubject(bad); }).find("snils"), std::string::npos) << bad;
    }
    EXPECT_TRUE(refusal([] { checkOid("1.2.643.7.1.2.1.1.1", "param-set"); }).empty());
    EXPECT_EQ(refusal([] { checkOid("tc26a", "param-set"); }),
              "--param-set: \"tc26a\" is no dotted OID (such as 1.2.643.7.1.1.2.2)");
    EXPECT_TRUE(refusal([] { checkIdentificationKind("remotecert"); }).empty());
    EXPECT_NE(refusal([] { checkIdentificationKind("remote"); }).find("personal"),
              std::string::npos);
}
