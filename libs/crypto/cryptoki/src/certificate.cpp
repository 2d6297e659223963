#include "cryptoki/certificate.h"

#include <boost/locale/encoding_utf.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki/private_key.h"
#include "cryptoki/provider.h"
#include "module/itoken.h"
#include "ssl/certificate.h"

namespace kelvo::plugin::cryptoki {

Certificate::Certificate(boost::shared_ptr<Device> device, const std::string& der)
    : device_(std::move(device)), inner_(ssl::Certificate::makeFromDer(der)) {}

Certificate::~Certificate() = default;

const crypto::ICertificate* Certificate::sslCertificate() const {
    return inner_->sslCertificate();
}

boost::shared_ptr<crypto::IPrivateKey> Certificate::privateKey() {
    if (!privateKey_) {
        privateKey_ =
            boost::make_shared<PrivateKey>(device_, ssl::Certificate::makeFromDer(inner_->der()));
    }
    return privateKey_;
}

boost::shared_ptr<crypto::IPublicKey> Certificate::publicKey() {
    return inner_->publicKey();
}

boost::shared_ptr<crypto::IProvider> Certificate::provider(const std::wstring&) {
    return boost::make_shared<Provider>(device_);
}

boost::optional<std::wstring> Certificate::container() {
    if (!container_) {
        container_ = device_->token->findContainer(device_, inner_, nullptr);
    }
    return container_;
}

long Certificate::version() const {
    return inner_->version();
}
std::string Certificate::der() const {
    return inner_->der();
}
std::string Certificate::issuer() const {
    return inner_->issuer();
}
std::string Certificate::subject() const {
    return inner_->subject();
}
std::string Certificate::serialNumber() const {
    return inner_->serialNumber();
}
std::string Certificate::hashAlgorithm() {
    return inner_->hashAlgorithm();
}
std::string Certificate::signatureAlgorithm() const {
    return inner_->signatureAlgorithm();
}
std::string Certificate::storeName() const {
    return inner_->storeName();
}
crypto::NameRecord Certificate::issuerName() const {
    return inner_->issuerName();
}
crypto::NameRecord Certificate::subjectName() const {
    return inner_->subjectName();
}
boost::posix_time::ptime Certificate::notBefore() const {
    return inner_->notBefore();
}
boost::posix_time::ptime Certificate::notAfter() const {
    return inner_->notAfter();
}
boost::optional<std::uint16_t> Certificate::keyUsage() const {
    return inner_->keyUsage();
}
boost::optional<std::wstring> Certificate::subjectSignTool() const {
    return inner_->subjectSignTool();
}
boost::optional<std::wstring> Certificate::issuerSignTool() const {
    return inner_->issuerSignTool();
}
boost::optional<boost::posix_time::ptime> Certificate::privateKeyNotBefore() const {
    return inner_->privateKeyNotBefore();
}
boost::optional<boost::posix_time::ptime> Certificate::privateKeyNotAfter() const {
    return inner_->privateKeyNotAfter();
}
std::vector<std::string> Certificate::extendedKeyUsages() const {
    return inner_->extendedKeyUsages();
}
boost::optional<std::string> Certificate::thumbprint() const {
    return inner_->thumbprint();
}
X509* Certificate::x509() const {
    return inner_->x509();
}

boost::optional<std::wstring> Certificate::install(
    const boost::shared_ptr<crypto::IProvider>& provider, const wchar_t* container,
    std::size_t length, const std::string& pin) {
    const std::wstring name(container, length);
    const std::string id =
        containerId(provider ? provider->name() : Provider(device_).name(), name);
    if (device_->token->addCertificate(device_, inner_, id.data(), id.size(), pin)) {
        return name;
    }
    return boost::none;
}

}  // namespace kelvo::plugin::cryptoki
