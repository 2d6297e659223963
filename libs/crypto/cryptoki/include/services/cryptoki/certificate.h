#pragma once

#include <string>

#include "crypto/icertificate.h"
#include "cryptoki/device.h"

namespace kelvo::plugin::ssl {
class Certificate;
}

namespace kelvo::plugin::cryptoki {

class PrivateKey;

// A certificate read from a token: its content comes from the parsed certificate, its
// private key, provider and container from the token it lives on.
class Certificate : public crypto::ICertificate {
public:
    // Parses the DER value of the token object; throws as the certificate reader does.
    Certificate(boost::shared_ptr<Device> device, const std::string& der);
    ~Certificate() override;

    void* storeContext() const override { return nullptr; }
    const crypto::ICertificate* tokenCertificate() const override { return this; }
    const crypto::ICertificate* sslCertificate() const override;
    boost::shared_ptr<crypto::IPrivateKey> privateKey() override;
    boost::shared_ptr<crypto::IPublicKey> publicKey() override;
    boost::shared_ptr<crypto::IProvider> provider(const std::wstring& preferredName) override;
    boost::optional<std::wstring> container() override;

    long version() const override;
    std::string der() const override;
    std::string issuer() const override;
    std::string subject() const override;
    std::string serialNumber() const override;
    std::string hashAlgorithm() override;
    std::string signatureAlgorithm() const override;
    std::string storeName() const override;
    crypto::NameRecord issuerName() const override;
    crypto::NameRecord subjectName() const override;
    boost::posix_time::ptime notBefore() const override;
    boost::posix_time::ptime notAfter() const override;
    boost::optional<std::uint16_t> keyUsage() const override;
    boost::optional<std::wstring> subjectSignTool() const override;
    boost::optional<std::wstring> issuerSignTool() const override;
    boost::optional<boost::posix_time::ptime> privateKeyNotBefore() const override;
    boost::optional<boost::posix_time::ptime> privateKeyNotAfter() const override;
    std::vector<std::string> extendedKeyUsages() const override;
    boost::optional<std::string> thumbprint() const override;

    boost::optional<std::wstring> install(const boost::shared_ptr<crypto::IProvider>& provider,
                                          const wchar_t* container, std::size_t length,
                                          const std::string& pin) override;
    bool isInStore(const std::string&, bool) const override { return false; }
    bool isValidContext() const override { return true; }
    bool hasExtension() const override { return true; }
    X509* x509() const override;

private:
    boost::shared_ptr<Device> device_;
    boost::shared_ptr<ssl::Certificate> inner_;
    boost::optional<std::wstring> container_;
    boost::shared_ptr<PrivateKey> privateKey_;
};

}  // namespace kelvo::plugin::cryptoki
