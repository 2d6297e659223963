#pragma once

#include <string>

#include "crypto/iprovider.h"
#include "cryptoki/device.h"

namespace kelvo::plugin::cryptoki {

// A token device presented to the host as a crypto provider.
class Provider : public crypto::IProvider {
public:
    explicit Provider(boost::shared_ptr<Device> device);

    boost::optional<std::string> displayName() const override;
    boost::optional<Info> info() const override;
    crypto::SharedSet<IProvider> providers(const host::Session* session) const override;
    std::set<std::wstring> containers() const override;
    std::set<std::string> algorithms() const override;
    bool isSupported(const std::string& algorithm) const override;
    crypto::SharedSet<crypto::ICertificate> certificates() const override;
    std::pair<boost::shared_ptr<void>, boost::shared_ptr<void>> keyPair() const override {
        return {};
    }
    boost::shared_ptr<Device> device() const override { return device_; }
    boost::shared_ptr<void> nativeHandle() const override { return {}; }
    boost::shared_ptr<crypto::ICertificate> findCertificate(
        const std::wstring& container) const override;
    boost::shared_ptr<crypto::IHash> createHash(
        const std::string& algorithm,
        const boost::shared_ptr<crypto::ICertificate>& signer) override;
    bool isSoftware() const override { return false; }
    const std::wstring& name() const override { return name_; }
    boost::optional<std::wstring> findContainer(const crypto::IPublicKey& key,
                                                unsigned long* keyType) const override;
    const boost::optional<std::wstring>& extraText() const override { return extraText_; }
    bool deleteContainer(const std::wstring& name, const std::string& pin) const override;
    boost::optional<std::wstring> versionInfo() const override;
    bool isHardware() const override { return true; }
    std::vector<unsigned char> randomBytes(std::size_t count) const override;

    // Every device of every token module the host has loaded, as providers.
    static crypto::SharedSet<IProvider> all(const host::Session* session);

private:
    std::uint32_t type_ = 0;
    std::wstring name_;
    boost::optional<std::wstring> extraText_;
    boost::shared_ptr<Device> device_;
};

// The bytes a container name is stored as on a provider's token: Windows-1251 for the
// Rutoken family, UTF-8 otherwise.
std::string containerId(const std::wstring& providerName, const std::wstring& container);

}  // namespace kelvo::plugin::cryptoki
