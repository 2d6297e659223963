#include "cryptoki/private_key.h"

#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>
#include <boost/smart_ptr/weak_ptr.hpp>

#include "check.h"
#include "crypto/icertificate.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/provider.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "key_engine.h"
#include "module/itoken.h"

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
    bool isAuthenticated() const { return key_ && !sessionDied(); }

    boost::shared_ptr<Device> device_;
    boost::shared_ptr<crypto::ICertificate> certificate_;
    boost::shared_ptr<Provider> provider_;
    KeyEngine::Session engineSession_;
    KeyEngine::Key key_;

private:
    // True when the session and login this key took are gone: its binding was dropped, or
    // the slot's record started over since (the token was pulled out). Nothing is left to
    // release then, and the key must log in anew.
    bool sessionDied() const;
    void forget();

    // Set once authenticate() takes the slot's session: the binding and its reset count then.
    boost::weak_ptr<ICryptoki> binding_;
    boost::optional<unsigned long> resets_;
};

bool PrivateKey::PrivateKeyImpl::sessionDied() const {
    if (!resets_) {
        return false;
    }
    const auto library = binding_.lock();
    return !library || library->resets(device_->slot) != *resets_;
}

void PrivateKey::PrivateKeyImpl::forget() {
    key_.reset();
    engineSession_.reset();
    binding_.reset();
    resets_ = boost::none;
}

bool PrivateKey::PrivateKeyImpl::authenticate(const std::string& pin) {
    using namespace crypto::exception;
    if (isAuthenticated()) {
        return true;
    }
    if (sessionDied()) {
        forget();
    }
    const auto library = device_->token->cryptoki();
    if (!library) {
        return false;
    }
    // Without the engine no key can come of it: nothing is opened or asked for.
    const KeyEngine engine(library->libraryPath());
    if (!engine.isLoaded()) {
        return false;
    }
    const CK_SLOT_ID slot = device_->slot;
    // The session and the login belong to the key until release().
    binding_ = library;
    resets_ = library->resets(slot);
    KELVO_CRYPTOKI_CHECK(library->openSession(slot, ScopedSession::kFlags, nullptr, nullptr));
    if (certificateObjects(*library, slot, *certificate_).empty()) {
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
    engineSession_ = engine.wrapSession(library->functions(), library->sessionHandle(slot));
    key_ = engine.wrapKeyPair(engineSession_, *privateObject, *publicObject);
    return key_ != nullptr;
}

void PrivateKey::PrivateKeyImpl::release() {
    const auto library = device_->token->cryptoki();
    if (library && !sessionDied()) {
        library->releaseSlot(device_->slot);
    }
    forget();
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
    if (!impl_->isAuthenticated()) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: context: privateKey acquire failed - not authorized.";
        return nullptr;
    }
    return impl_->key_.get();
}

bool PrivateKey::isAuthenticated() const {
    return impl_->isAuthenticated();
}

void PrivateKey::release() {
    impl_->release();
}

const boost::optional<std::string>& PrivateKey::cachedPin() const {
    static const boost::optional<std::string> never;
    return never;
}

}  // namespace kelvo::plugin::cryptoki
