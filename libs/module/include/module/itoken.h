#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <QtPlugin>
#include <boost/core/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/shared_set.h"

namespace kelvo::host {
struct Session;
}

namespace kelvo::plugin::crypto {
class ICertificate;
class ICsrCreator;
class IPublicKey;
}  // namespace kelvo::plugin::crypto

namespace kelvo::plugin::cryptoki {
class Device;
class ICryptoki;
}  // namespace kelvo::plugin::cryptoki

namespace kelvo::plugin::module {

// What the host does with a token: devices, certificates, key containers and the token
// operations. Implemented by the PKCS#11 token; session() and createCryptoki() come from the
// concrete token module. PINs are taken by reference: the module keeps no copy that the host
// could not wipe.
class IToken : private boost::noncopyable {
public:
    using DeviceSet = crypto::SharedSet<cryptoki::Device>;
    using CertificateSet = crypto::SharedSet<crypto::ICertificate>;
    using DevicePtr = boost::shared_ptr<cryptoki::Device>;
    using CertificatePtr = boost::shared_ptr<crypto::ICertificate>;

    virtual ~IToken() = default;
    virtual void setCache(bool enabled, bool reset) = 0;
    virtual boost::shared_ptr<cryptoki::ICryptoki> cryptoki() = 0;
    virtual host::Session* session() const = 0;
    virtual DeviceSet devices() = 0;
    virtual std::vector<std::string> containers(const DevicePtr& device) = 0;
    virtual CertificateSet certificates(const DevicePtr& device) = 0;
    virtual bool addCertificate(const DevicePtr& device, const CertificatePtr& certificate,
                                const char* id, std::size_t idLength, const std::string& pin) = 0;
    virtual bool deleteCertificate(const DevicePtr& device, const CertificatePtr& certificate) = 0;
    // Each pair of overloads below takes two slots in the order the host's table gives them.
    // MSVC lays out the overloads of one name in reverse order of declaration, so for MSVC
    // each pair is declared the other way round.
#ifdef _MSC_VER
    virtual CertificatePtr findCertificate(const DevicePtr& device, const std::string& id) = 0;
    virtual CertificatePtr findCertificate(const DevicePtr& device,
                                           const CertificatePtr& certificate) = 0;
    virtual boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                        const CertificatePtr& certificate,
                                                        unsigned long* keyType) = 0;
    virtual boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                        const crypto::IPublicKey& key,
                                                        unsigned long* keyType) = 0;
#else
    virtual CertificatePtr findCertificate(const DevicePtr& device,
                                           const CertificatePtr& certificate) = 0;
    virtual CertificatePtr findCertificate(const DevicePtr& device, const std::string& id) = 0;
    virtual boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                        const crypto::IPublicKey& key,
                                                        unsigned long* keyType) = 0;
    virtual boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                        const CertificatePtr& certificate,
                                                        unsigned long* keyType) = 0;
#endif
    virtual bool deleteContainer(const DevicePtr& device, const std::wstring& name,
                                 const std::string& pin) = 0;
    virtual boost::shared_ptr<crypto::ICsrCreator> createCsrCreator() = 0;
    virtual std::vector<unsigned char> randomBytes(const DevicePtr& device, std::size_t count) = 0;
    virtual boost::shared_ptr<cryptoki::ICryptoki> createCryptoki() = 0;
};

}  // namespace kelvo::plugin::module

Q_DECLARE_INTERFACE(kelvo::plugin::module::IToken, "plugin.IToken")
