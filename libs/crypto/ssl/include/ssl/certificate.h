#pragma once

#include <cstddef>
#include <string>

#include <openssl/x509.h>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/icertificate.h"
#include "ssl/scoped_handle.h"

namespace kelvo::plugin::ssl {

class PublicKey;

// An X.509 certificate parsed by OpenSSL. Immutable, except that the public key is made on
// first request without a lock: threads sharing one certificate serialise that first call.
class Certificate : public crypto::ICertificate {
    struct Private {};

public:
    // DER, PEM or bare Base64. Throws ApplicationException ContentEmpty for an empty buffer,
    // NotImplemented for a malformed DER header, base64::DecodeError for text that is not
    // Base64 once the armour is stripped, and whatever makeFromDer throws.
    static boost::shared_ptr<Certificate> makeByFormat(const unsigned char* data,
                                                       std::size_t length);
    // Throws CryptoException CertificateContextFailed unless the bytes are a certificate with
    // names, serial and well-formed validity and key-usage period times.
    static boost::shared_ptr<Certificate> makeFromDer(const unsigned char* data,
                                                      std::size_t length);
    static boost::shared_ptr<Certificate> makeFromDer(const std::string& der);

    Certificate(scoped_handle<X509> x509, Private);
    ~Certificate() override;

    void* storeContext() const override;
    const crypto::ICertificate* tokenCertificate() const override;
    const crypto::ICertificate* sslCertificate() const override;
    boost::shared_ptr<crypto::IPrivateKey> privateKey() override;
    boost::shared_ptr<crypto::IPublicKey> publicKey() override;
    boost::shared_ptr<crypto::IProvider> provider(const std::wstring& preferredName) override;
    boost::optional<std::wstring> container() override;

    long version() const override;
    std::string der() const override;
    // Entries as "key=value" joined with "; "; keys resolved through the name aliases.
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
    bool isInStore(const std::string& store, bool machine) const override;
    bool isValidContext() const override;
    bool hasExtension() const override;
    X509* x509() const override;

private:
    boost::shared_ptr<PublicKey> publicKey_;
    scoped_handle<X509> x509_;
};

}  // namespace kelvo::plugin::ssl
