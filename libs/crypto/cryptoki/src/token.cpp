#include "cryptoki/token.h"

#include "exception/application.h"

namespace kelvo::plugin::cryptoki {

namespace {

[[noreturn]] void notImplemented() {
    BOOST_THROW_EXCEPTION(exception::ApplicationException(exception::NotImplemented));
}

}  // namespace

Token::~Token() = default;

void Token::setCache(bool enabled, bool reset) {
    caching_ = enabled;
    if (enabled && !reset) {
        return;
    }
    if (enabled) {
        library_.reset();
    }
    deviceCache_ = boost::none;
    certificateCache_.clear();
}

boost::shared_ptr<ICryptoki> Token::cryptoki() {
    notImplemented();
}
Token::DeviceSet Token::devices() {
    notImplemented();
}
std::vector<std::string> Token::containers(const DevicePtr&) {
    notImplemented();
}
Token::CertificateSet Token::certificates(const DevicePtr&) {
    notImplemented();
}
bool Token::addCertificate(const DevicePtr&, const CertificatePtr&, const char*, std::size_t,
                           std::string) {
    notImplemented();
}
bool Token::deleteCertificate(const DevicePtr&, const CertificatePtr&) {
    notImplemented();
}
Token::CertificatePtr Token::findCertificate(const DevicePtr&, const CertificatePtr&) {
    notImplemented();
}
Token::CertificatePtr Token::findCertificate(const DevicePtr&, const std::string&) {
    notImplemented();
}
boost::optional<std::wstring> Token::findContainer(const DevicePtr&, const crypto::IPublicKey&,
                                                   unsigned long*) {
    notImplemented();
}
boost::optional<std::wstring> Token::findContainer(const DevicePtr&, const CertificatePtr&,
                                                   unsigned long*) {
    notImplemented();
}
bool Token::deleteContainer(const DevicePtr&, const std::wstring&, std::string) {
    notImplemented();
}
boost::shared_ptr<crypto::ICsrCreator> Token::createCsrCreator() {
    notImplemented();
}
std::vector<unsigned char> Token::randomBytes(const DevicePtr&, std::size_t) {
    notImplemented();
}

}  // namespace kelvo::plugin::cryptoki
