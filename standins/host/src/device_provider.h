#pragma once

#include "crypto/iprovider.h"
#include "module/itoken.h"

namespace kelvo::host::app {

// The host's stand-in provider for a device whose token provider the interfaces do not hand
// out (a token without certificates). It answers from the device record and the token
// interface; hashing needs the token's own provider and is refused.
class DeviceProvider : public plugin::crypto::IProvider {
public:
    DeviceProvider(plugin::module::IToken& token, plugin::module::IToken::DevicePtr device);

    boost::optional<std::string> displayName() const override { return boost::none; }
    boost::optional<Info> info() const override { return boost::none; }
    plugin::crypto::SharedSet<IProvider> providers(const Session*) const override { return {}; }
    std::set<std::wstring> containers() const override;
    std::set<std::string> algorithms() const override { return {}; }
    bool isSupported(const std::string&) const override { return false; }
    plugin::crypto::SharedSet<plugin::crypto::ICertificate> certificates() const override;
    std::pair<boost::shared_ptr<void>, boost::shared_ptr<void>> keyPair() const override {
        return {};
    }
    boost::shared_ptr<plugin::cryptoki::Device> device() const override { return device_; }
    boost::shared_ptr<void> nativeHandle() const override { return {}; }
    boost::shared_ptr<plugin::crypto::ICertificate> findCertificate(
        const std::wstring& container) const override;
    boost::shared_ptr<plugin::crypto::IHash> createHash(
        const std::string& algorithm,
        const boost::shared_ptr<plugin::crypto::ICertificate>& signer) override;
    bool isSoftware() const override { return false; }
    const std::wstring& name() const override { return name_; }
    boost::optional<std::wstring> findContainer(const plugin::crypto::IPublicKey& key,
                                                unsigned long* keyType) const override;
    const boost::optional<std::wstring>& extraText() const override { return extraText_; }
    bool deleteContainer(const std::wstring& name, const std::string& pin) const override;
    boost::optional<std::wstring> versionInfo() const override;
    bool isHardware() const override { return true; }
    std::vector<unsigned char> randomBytes(std::size_t count) const override;

private:
    plugin::module::IToken& token_;
    plugin::module::IToken::DevicePtr device_;
    std::wstring name_;
    boost::optional<std::wstring> extraText_;
};

}  // namespace kelvo::host::app
