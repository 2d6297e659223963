#pragma once

#include <map>
#include <set>
#include <string>

#include <boost/optional.hpp>

#include "cryptoki/pkcs11.h"
#include "module/itoken.h"

namespace kelvo::plugin::cryptoki {

// The PKCS#11 token as the host sees it. The concrete token module supplies the host
// session and the binding to its vendor library.
class Token : public module::IToken {
public:
    // Names of the token models the shared code serves.
    static const std::set<std::string>& supportedModels();

    Token() = default;
    ~Token() override;

    void setCache(bool enabled, bool reset) override;
    boost::shared_ptr<ICryptoki> cryptoki() override;
    DeviceSet devices() override;
    std::vector<std::string> containers(const DevicePtr& device) override;
    CertificateSet certificates(const DevicePtr& device) override;
    bool addCertificate(const DevicePtr& device, const CertificatePtr& certificate, const char* id,
                        std::size_t idLength, const std::string& pin) override;
    bool deleteCertificate(const DevicePtr& device, const CertificatePtr& certificate) override;
    CertificatePtr findCertificate(const DevicePtr& device,
                                   const CertificatePtr& certificate) override;
    CertificatePtr findCertificate(const DevicePtr& device, const std::string& id) override;
    boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                const crypto::IPublicKey& key,
                                                unsigned long* keyType) override;
    boost::optional<std::wstring> findContainer(const DevicePtr& device,
                                                const CertificatePtr& certificate,
                                                unsigned long* keyType) override;
    bool deleteContainer(const DevicePtr& device, const std::wstring& name,
                         const std::string& pin) override;
    boost::shared_ptr<crypto::ICsrCreator> createCsrCreator() override;
    std::vector<unsigned char> randomBytes(const DevicePtr& device, std::size_t count) override;

private:
    DeviceSet devicesImpl();
    std::vector<std::string> containersImpl(const DevicePtr& device);
    CertificateSet certificatesImpl(const DevicePtr& device);
    bool addCertificateImpl(const DevicePtr& device, const CertificatePtr& certificate,
                            const std::string& id, const std::string& pin);
    bool deleteCertificateImpl(const DevicePtr& device, const CertificatePtr& certificate);
    bool deleteContainerImpl(const DevicePtr& device, const std::wstring& name,
                             const std::string& pin);
    CertificatePtr findCertificateImpl(const DevicePtr& device, const CertificatePtr& certificate);
    CertificatePtr findCertificateImpl(const DevicePtr& device, const std::string& id);
    boost::optional<std::wstring> findContainerImpl(const DevicePtr& device,
                                                    const crypto::IPublicKey& key,
                                                    unsigned long* keyType);
    boost::optional<std::wstring> findContainerImpl(const DevicePtr& device,
                                                    const CertificatePtr& certificate,
                                                    unsigned long* keyType);
    // Within an open session: the first public key contained in `key`, by its CKA_ID.
    boost::optional<std::wstring> containerByPublicKey(ICryptoki& library, CK_SLOT_ID slot,
                                                       const std::string& key,
                                                       unsigned long* keyType);
    void readCachingSwitch();
    // Drops what the caches hold of tokens that were pulled out or replaced, and the
    // certificates of slots whose session died since they were read.
    void forgetGoneTokens();

    // The certificates of one device, and how often its slot's record had started over then.
    struct CachedCertificates {
        DevicePtr device;
        unsigned long resets;
        CertificateSet certificates;
    };

    boost::optional<DeviceSet> deviceCache_;
    std::map<std::string, CachedCertificates> certificateCache_;
    bool busy_ = false;
    bool caching_ = true;
    boost::shared_ptr<ICryptoki> library_;
    bool closing_ = false;
};

}  // namespace kelvo::plugin::cryptoki
