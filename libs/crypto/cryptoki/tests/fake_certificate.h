#pragma once

#include <string>
#include <utility>
#include <vector>

#include "crypto/icertificate.h"
#include "crypto/ipublic_key.h"

namespace kelvo::test {

// A certificate that only knows its serial number, which is all the templates need.
class SerialCertificate : public plugin::crypto::ICertificate {
public:
    explicit SerialCertificate(std::string serial, std::string der = {})
        : serial_(std::move(serial)), der_(std::move(der)) {}
    std::string serialNumber() const override { return serial_; }

    void* storeContext() const override { return nullptr; }
    const ICertificate* tokenCertificate() const override { return nullptr; }
    const ICertificate* sslCertificate() const override { return nullptr; }
    boost::shared_ptr<plugin::crypto::IPrivateKey> privateKey() override { return {}; }
    boost::shared_ptr<plugin::crypto::IPublicKey> publicKey() override { return {}; }
    boost::shared_ptr<plugin::crypto::IProvider> provider(const std::wstring&) override {
        return {};
    }
    boost::optional<std::wstring> container() override { return boost::none; }
    long version() const override { return 0; }
    std::string der() const override { return der_; }
    std::string issuer() const override { return {}; }
    std::string subject() const override { return {}; }
    std::string hashAlgorithm() override { return {}; }
    std::string signatureAlgorithm() const override { return {}; }
    std::string storeName() const override { return {}; }
    plugin::crypto::NameRecord issuerName() const override { return {}; }
    plugin::crypto::NameRecord subjectName() const override { return {}; }
    boost::posix_time::ptime notBefore() const override { return {}; }
    boost::posix_time::ptime notAfter() const override { return {}; }
    boost::optional<std::uint16_t> keyUsage() const override { return boost::none; }
    boost::optional<std::wstring> subjectSignTool() const override { return boost::none; }
    boost::optional<std::wstring> issuerSignTool() const override { return boost::none; }
    boost::optional<boost::posix_time::ptime> privateKeyNotBefore() const override {
        return boost::none;
    }
    boost::optional<boost::posix_time::ptime> privateKeyNotAfter() const override {
        return boost::none;
    }
    std::vector<std::string> extendedKeyUsages() const override { return {}; }
    boost::optional<std::string> thumbprint() const override { return boost::none; }
    boost::optional<std::wstring> install(const boost::shared_ptr<plugin::crypto::IProvider>&,
                                          const wchar_t*, std::size_t,
                                          const std::string&) override {
        return boost::none;
    }
    bool isInStore(const std::string&, bool) const override { return false; }
    bool isValidContext() const override { return false; }
    bool hasExtension() const override { return false; }
    X509* x509() const override { return nullptr; }

private:
    std::string serial_;
    std::string der_;
};

// A public key that only knows its value bytes.
class ValueKey : public plugin::crypto::IPublicKey {
public:
    explicit ValueKey(std::string value) : value_(std::move(value)) {}
    const std::string& algorithm() const override { return empty_; }
    const std::string& parameters() const override { return empty_; }
    const std::string& value() const override { return value_; }
    bool equals(const IPublicKey& other) const override { return value_ == other.value(); }

private:
    std::string value_;
    std::string empty_;
};

}  // namespace kelvo::test
