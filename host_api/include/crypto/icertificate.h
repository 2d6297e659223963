#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <openssl/types.h>
#include <boost/core/noncopyable.hpp>
#include <boost/date_time/posix_time/ptime.hpp>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::crypto {

class IPrivateKey;
class IProvider;
class IPublicKey;

// Distinguished name by attribute OID (UTF-16), always holding the same fixed set of keys.
using NameRecord = std::map<std::wstring, boost::optional<std::wstring>>;

// A certificate as the host sees it. A plain (OpenSSL-side) certificate answers the token
// questions (private key, provider, container, install) with empty values.
class ICertificate : private boost::noncopyable {
public:
    virtual ~ICertificate() = default;

    virtual void* storeContext() const = 0;
    virtual const ICertificate* tokenCertificate() const = 0;
    virtual const ICertificate* sslCertificate() const = 0;
    virtual boost::shared_ptr<IPrivateKey> privateKey() = 0;
    virtual boost::shared_ptr<IPublicKey> publicKey() = 0;
    virtual boost::shared_ptr<IProvider> provider(const std::wstring& preferredName) = 0;
    virtual boost::optional<std::wstring> container() = 0;

    virtual long version() const = 0;
    virtual std::string der() const = 0;
    virtual std::string issuer() const = 0;
    virtual std::string subject() const = 0;
    // Serial number bytes, least significant byte first.
    virtual std::string serialNumber() const = 0;
    virtual std::string hashAlgorithm() = 0;
    virtual std::string signatureAlgorithm() const = 0;
    virtual std::string storeName() const = 0;
    virtual NameRecord issuerName() const = 0;
    virtual NameRecord subjectName() const = 0;
    virtual boost::posix_time::ptime notBefore() const = 0;
    virtual boost::posix_time::ptime notAfter() const = 0;
    virtual boost::optional<std::uint16_t> keyUsage() const = 0;
    virtual boost::optional<std::wstring> subjectSignTool() const = 0;
    virtual boost::optional<std::wstring> issuerSignTool() const = 0;
    virtual boost::optional<boost::posix_time::ptime> privateKeyNotBefore() const = 0;
    virtual boost::optional<boost::posix_time::ptime> privateKeyNotAfter() const = 0;
    virtual std::vector<std::string> extendedKeyUsages() const = 0;
    // SHA-1 of the DER encoding, 20 raw bytes.
    virtual boost::optional<std::string> thumbprint() const = 0;

    virtual boost::optional<std::wstring> install(const boost::shared_ptr<IProvider>& provider,
                                                  const wchar_t* container, std::size_t length,
                                                  const std::string& pin) = 0;
    virtual bool isInStore(const std::string& store, bool machine) const = 0;
    virtual bool isValidContext() const = 0;
    // True when the certificate carries extension 1.2.643.2.2.49.2.
    virtual bool hasExtension() const = 0;
    virtual X509* x509() const = 0;
};

}  // namespace kelvo::plugin::crypto
