#pragma once

#include <map>
#include <string>

#include <boost/optional.hpp>

#include "module/itoken.h"

namespace kelvo::plugin::cryptoki {

// The PKCS#11 token as the host sees it. The concrete token module supplies the host
// session and the binding to its vendor library.
class Token : public module::IToken {
public:
    Token() = default;
    ~Token() override;

    void setCache(bool enabled, bool reset) override;
    boost::shared_ptr<ICryptoki> cryptoki() override;
    DeviceSet devices() override;
    std::vector<std::string> containers(const DevicePtr& device) override;
    CertificateSet certificates(const DevicePtr& device) override;
    bool addCertificate(const DevicePtr& device, const CertificatePtr& certificate, const char* id,
                        std::size_t idLength, std::string pin) override;
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
                         std::string pin) override;
    boost::shared_ptr<crypto::ICsrCreator> createCsrCreator() override;
    std::vector<unsigned char> randomBytes(const DevicePtr& device, std::size_t count) override;

private:
    boost::optional<DeviceSet> deviceCache_;
    std::map<std::string, CertificateSet> certificateCache_;
    bool busy_ = false;
    bool caching_ = true;
    boost::shared_ptr<ICryptoki> library_;
};

}  // namespace kelvo::plugin::cryptoki
