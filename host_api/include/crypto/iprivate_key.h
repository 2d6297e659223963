#pragma once

#include <string>

#include <openssl/types.h>
#include <boost/core/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::crypto {

class ICertificate;
class IProvider;

class IPrivateKey : private boost::noncopyable {
public:
    virtual ~IPrivateKey() = default;
    virtual boost::shared_ptr<ICertificate> certificate() const = 0;
    virtual boost::shared_ptr<IProvider> provider() = 0;
    virtual bool authenticate(const std::string& pin) = 0;
    // The key as OpenSSL sees it; owned by this object, null until authenticated.
    virtual EVP_PKEY* context() const = 0;
    virtual bool isAuthenticated() const = 0;
    virtual void release() = 0;
    virtual bool isTokenKey() const = 0;
    virtual const boost::optional<std::string>& cachedPin() const = 0;
};

}  // namespace kelvo::plugin::crypto
