#pragma once

#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/iprivate_key.h"
#include "cryptoki/device.h"

namespace kelvo::plugin::cryptoki {

class Provider;

// The private key of a token certificate. After authenticate() it is an OpenSSL key whose
// private operations run on the token; the slot's session and login stay with it until
// release() (or destruction).
class PrivateKey : public crypto::IPrivateKey {
public:
    class PrivateKeyImpl;

    PrivateKey(boost::shared_ptr<Device> device,
               boost::shared_ptr<crypto::ICertificate> certificate);
    ~PrivateKey() override;

    boost::shared_ptr<crypto::ICertificate> certificate() const override;
    boost::shared_ptr<crypto::IProvider> provider() override;
    bool authenticate(const std::string& pin) override;
    EVP_PKEY* context() const override;
    bool isAuthenticated() const override;
    void release() override;
    bool isTokenKey() const override { return true; }
    const boost::optional<std::string>& cachedPin() const override;

private:
    boost::shared_ptr<PrivateKeyImpl> impl_;
};

}  // namespace kelvo::plugin::cryptoki
