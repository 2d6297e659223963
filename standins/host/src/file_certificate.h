#pragma once

#include <memory>
#include <string>

#include <openssl/x509.h>

#include "crypto/icertificate.h"

namespace kelvo::host::app {

// A certificate read from a DER or PEM file, as the host hands it to the token for writing.
// It answers the content questions; the token-side ones get empty answers.
class FileCertificate : public plugin::crypto::ICertificate {
public:
    // Throws std::runtime_error when the bytes are no certificate.
    explicit FileCertificate(const std::string& bytes);
    static boost::shared_ptr<FileCertificate> fromFile(const std::string& path);

    void* storeContext() const override { return nullptr; }
    const ICertificate* tokenCertificate() const override { return nullptr; }
    const ICertificate* sslCertificate() const override { return this; }
    boost::shared_ptr<plugin::crypto::IPrivateKey> privateKey() override { return {}; }
    boost::shared_ptr<plugin::crypto::IPublicKey> publicKey() override { return {}; }
    boost::shared_ptr<plugin::crypto::IProvider> provider(const std::wstring&) override {
        return {};
    }
    boost::optional<std::wstring> container() override { return boost::none; }

    long version() const override;
    std::string der() const override { return der_; }
    std::string issuer() const override;
    std::string subject() const override;
    std::string serialNumber() const override;
    std::string hashAlgorithm() override { return {}; }
    std::string signatureAlgorithm() const override { return {}; }
    std::string storeName() const override { return {}; }
    plugin::crypto::NameRecord issuerName() const override { return {}; }
    plugin::crypto::NameRecord subjectName() const override { return {}; }
    boost::posix_time::ptime notBefore() const override;
    boost::posix_time::ptime notAfter() const override;
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
    boost::optional<std::string> thumbprint() const override;
    boost::optional<std::wstring> install(const boost::shared_ptr<plugin::crypto::IProvider>&,
                                          const wchar_t*, std::size_t,
                                          const std::string&) override {
        return boost::none;
    }
    bool isInStore(const std::string&, bool) const override { return false; }
    bool isValidContext() const override { return true; }
    bool hasExtension() const override { return false; }
    X509* x509() const override { return x509_.get(); }

private:
    std::unique_ptr<X509, decltype(&X509_free)> x509_;
    std::string der_;
};

}  // namespace kelvo::host::app
