#include <gtest/gtest.h>

#include "ssl/certificate.h"
#include "ssl/public_key.h"
#include "test_certificates.h"

namespace ssl = kelvo::plugin::ssl;
using kelvo::plugin::crypto::PublicKey;

namespace {

boost::shared_ptr<ssl::Certificate> load(const std::string& name) {
    return ssl::Certificate::makeFromDer(ssl::testing::readFile(name + ".der"));
}

}  // namespace

TEST(PublicKey, NullKeyIsEmptyAndEqualsAnotherNullKey) {
    const ssl::PublicKey first(nullptr);
    const ssl::PublicKey second(nullptr);
    EXPECT_TRUE(first.algorithm().empty());
    EXPECT_TRUE(first.value().empty());
    EXPECT_TRUE(first.parameters().empty());
    EXPECT_TRUE(first.equals(second));
}

TEST(PublicKey, CertificatesWithOneKeyHaveEqualKeys) {
    const auto issued = load("gost2012_256");
    const auto selfSigned = load("gost2012_256_same_key");
    ASSERT_NE(issued->der(), selfSigned->der());
    EXPECT_TRUE(issued->publicKey()->equals(*selfSigned->publicKey()));
    EXPECT_FALSE(issued->publicKey()->equals(*load("gost2012_512_ca")->publicKey()));
    EXPECT_FALSE(issued->publicKey()->equals(ssl::PublicKey(nullptr)));
}

TEST(PublicKey, GostValueIsTheWrappedOctetString) {
    const auto key = load("gost2012_256")->publicKey();
    EXPECT_EQ("1.2.643.7.1.1.1.1", key->algorithm());
    ASSERT_EQ(66u, key->value().size());
    EXPECT_EQ('\x04', key->value()[0]);
    EXPECT_EQ('\x40', key->value()[1]);
}

TEST(PublicKey, EqualBytesWithDifferentAlgorithmsDiffer) {
    const PublicKey gost2001("\x04\x40key", "1.2.643.2.2.19");
    const PublicKey gost2012("\x04\x40key", "1.2.643.7.1.1.1.1");
    EXPECT_FALSE(gost2001.equals(gost2012));
    EXPECT_TRUE(gost2001.equals(PublicKey("\x04\x40key", "1.2.643.2.2.19", "parameters")));
}

TEST(PublicKey, CertificateCachesItsKey) {
    const auto certificate = load("gost2001");
    const auto first = certificate->publicKey();
    EXPECT_EQ(first, certificate->publicKey());
    EXPECT_EQ("1.2.643.2.2.19", first->algorithm());
    EXPECT_EQ("1.2.643.2.2.9", certificate->hashAlgorithm());
}
