#pragma once

#include <boost/smart_ptr/shared_ptr.hpp>

#include "cryptoki/icryptoki.h"
#include "module/itoken.h"

namespace kelvo::test {

// A token that only hands out a binding; everything else answers empty.
class FakeToken : public plugin::module::IToken {
public:
    explicit FakeToken(boost::shared_ptr<plugin::cryptoki::ICryptoki> cryptoki)
        : cryptoki_(std::move(cryptoki)) {}

    boost::shared_ptr<plugin::cryptoki::ICryptoki> cryptoki() override { return cryptoki_; }

    void setCache(bool, bool) override {}
    host::Session* session() const override { return nullptr; }
    DeviceSet devices() override { return {}; }
    std::vector<std::string> containers(const DevicePtr&) override { return {}; }
    CertificateSet certificates(const DevicePtr&) override { return {}; }
    bool addCertificate(const DevicePtr&, const CertificatePtr&, const char*, std::size_t,
                        const std::string&) override {
        return false;
    }
    bool deleteCertificate(const DevicePtr&, const CertificatePtr&) override { return false; }
    CertificatePtr findCertificate(const DevicePtr&, const CertificatePtr&) override { return {}; }
    CertificatePtr findCertificate(const DevicePtr&, const std::string&) override { return {}; }
    boost::optional<std::wstring> findContainer(const DevicePtr&, const plugin::crypto::IPublicKey&,
                                                unsigned long*) override {
        return boost::none;
    }
    boost::optional<std::wstring> findContainer(const DevicePtr&, const CertificatePtr&,
                                                unsigned long*) override {
        return boost::none;
    }
    bool deleteContainer(const DevicePtr&, const std::wstring&, const std::string&) override {
        return false;
    }
    boost::shared_ptr<plugin::crypto::ICsrCreator> createCsrCreator() override { return {}; }
    std::vector<unsigned char> randomBytes(const DevicePtr&, std::size_t) override { return {}; }
    boost::shared_ptr<plugin::cryptoki::ICryptoki> createCryptoki() override { return cryptoki_; }

private:
    boost::shared_ptr<plugin::cryptoki::ICryptoki> cryptoki_;
};

}  // namespace kelvo::test
