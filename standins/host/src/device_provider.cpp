#include "device_provider.h"

#include <stdexcept>

#include <QString>

#include "cryptoki/device.h"

namespace kelvo::host::app {

namespace {

std::wstring wide(const std::string& text) {
    return QString::fromStdString(text).toStdWString();
}

}  // namespace

DeviceProvider::DeviceProvider(plugin::module::IToken& token,
                               plugin::module::IToken::DevicePtr device)
    : token_(token), device_(std::move(device)), name_(wide(device_->id)) {}

std::set<std::wstring> DeviceProvider::containers() const {
    std::set<std::wstring> names;
    for (const auto& id : token_.containers(device_)) {
        names.insert(wide(id));
    }
    return names;
}

plugin::crypto::SharedSet<plugin::crypto::ICertificate> DeviceProvider::certificates() const {
    return token_.certificates(device_);
}

boost::shared_ptr<plugin::crypto::ICertificate> DeviceProvider::findCertificate(
    const std::wstring& container) const {
    return token_.findCertificate(device_, QString::fromStdWString(container).toStdString());
}

boost::shared_ptr<plugin::crypto::IHash> DeviceProvider::createHash(
    const std::string&, const boost::shared_ptr<plugin::crypto::ICertificate>&) {
    throw std::runtime_error(
        "hashing needs the token's own provider, which the module hands out only through a "
        "certificate on a token; install a certificate first");
}

boost::optional<std::wstring> DeviceProvider::findContainer(const plugin::crypto::IPublicKey& key,
                                                            unsigned long* keyType) const {
    return token_.findContainer(device_, key, keyType);
}

bool DeviceProvider::deleteContainer(const std::wstring& name, const std::string& pin) const {
    return token_.deleteContainer(device_, name, pin);
}

boost::optional<std::wstring> DeviceProvider::versionInfo() const {
    return wide("hardware version: " + device_->hardwareVersion +
                "\nfirmware version: " + device_->firmwareVersion);
}

std::vector<unsigned char> DeviceProvider::randomBytes(std::size_t count) const {
    return token_.randomBytes(device_, count);
}

}  // namespace kelvo::host::app
