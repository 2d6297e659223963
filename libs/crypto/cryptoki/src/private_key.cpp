#include "cryptoki/private_key.h"

#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "check.h"
#include "crypto/icertificate.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/provider.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "module/itoken.h"
#include "rtengine/rtengine.h"

namespace kelvo::plugin::cryptoki {

class PrivateKey::PrivateKeyImpl {
public:
    PrivateKeyImpl(boost::shared_ptr<Device> device,
                   boost::shared_ptr<crypto::ICertificate> certificate)
        : device_(std::move(device)), certificate_(std::move(certificate)) {}

    ~PrivateKeyImpl() {
        try {
            release();
        } catch (const std::exception& e) {
            BOOST_LOG_TRIVIAL(error) << "cryptoki: private key not released: " << e.what();
        }
    }

    bool authenticate(const std::string& pin);
    void release();

    boost::shared_ptr<Device> device_;
    boost::shared_ptr<crypto::ICertificate> certificate_;
    boost::shared_ptr<Provider> provider_;
    boost::shared_ptr<rt_eng_p11_session_st> engineSession_;
    boost::shared_ptr<EVP_PKEY> key_;
};

bool PrivateKey::PrivateKeyImpl::authenticate(const std::string& pin) {
    using namespace crypto::exception;
    if (key_) {
        return true;
    }
    const auto library = device_->token->cryptoki();
    if (!library) {
        return false;
    }
    const CK_SLOT_ID slot = device_->slot;
    // The session and the login belong to the key until release().
    KELVO_CRYPTOKI_CHECK(library->openSession(slot, ScopedSession::kFlags, nullptr, nullptr));
    auto certificates = certificateTemplate(*certificate_);
    if (objects(*library, slot, certificates.data(), certificates.size()).empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(CertificateOutStore));
    }
    if (!ensureLogin(*device_, pin)) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    const auto publicKey = certificate_->publicKey();
    const auto publicObject =
        publicKey ? publicKeyByValue(*library, slot, *publicKey) : boost::none;
    if (!publicObject) {
        BOOST_THROW_EXCEPTION(CryptoException(PublicKeyNotFound));
    }
    const auto privateObject = pairedPrivateKey(*library, slot, *publicObject);
    if (!privateObject) {
        BOOST_THROW_EXCEPTION(CryptoException(PrivateKeyNotFound));
    }
    engineSession_.reset(
        rt_eng_p11_session_wrap(library->functions(), library->sessionHandle(slot), 0, 0),
        rt_eng_p11_session_free);
    key_.reset(rt_eng_p11_key_pair_wrap(engineSession_.get(), *privateObject, *publicObject),
               EVP_PKEY_free);
    return key_ != nullptr;
}

void PrivateKey::PrivateKeyImpl::release() {
    if (const auto library = device_->token->cryptoki()) {
        library->releaseSlot(device_->slot);
    }
    key_.reset();
    engineSession_.reset();
}

PrivateKey::PrivateKey(boost::shared_ptr<Device> device,
                       boost::shared_ptr<crypto::ICertificate> certificate)
    : impl_(boost::make_shared<PrivateKeyImpl>(std::move(device), std::move(certificate))) {}

PrivateKey::~PrivateKey() = default;

boost::shared_ptr<crypto::ICertificate> PrivateKey::certificate() const {
    return impl_->certificate_;
}

boost::shared_ptr<crypto::IProvider> PrivateKey::provider() {
    if (!impl_->provider_) {
        impl_->provider_ = boost::make_shared<Provider>(impl_->device_);
    }
    return impl_->provider_;
}

bool PrivateKey::authenticate(const std::string& pin) {
    return impl_->authenticate(pin);
}

EVP_PKEY* PrivateKey::context() const {
    if (!impl_->key_) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: context: privateKey acquire failed - not authorized.";
        return nullptr;
    }
    return impl_->key_.get();
}

bool PrivateKey::isAuthenticated() const {
    return impl_->key_ != nullptr;
}

void PrivateKey::release() {
    impl_->release();
}

const boost::optional<std::string>& PrivateKey::cachedPin() const {
    static const boost::optional<std::string> never;
    return never;
}

}  // namespace kelvo::plugin::cryptoki
