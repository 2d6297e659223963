#pragma once

#include <functional>
#include <string>

#include <boost/core/noncopyable.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::crypto {
class IAuthHandle;
class IPrivateKey;
}  // namespace kelvo::plugin::crypto

namespace kelvo::host {

// The host's user-interface service, offered by one of its modules through uiService().
class IUiService : private boost::noncopyable {
public:
    // Runs the host's PIN dialog for an auth handle; the string is what the module would
    // have passed to the handle's own authenticate().
    using AuthCallback = std::function<bool(
        const boost::shared_ptr<kelvo::plugin::crypto::IAuthHandle>&, const std::string&)>;

    virtual ~IUiService() = default;
    virtual AuthCallback authCallback() = 0;
    virtual void showMessage(const std::wstring& text) = 0;
    virtual bool confirm(const std::wstring& question) = 0;
    // Has the user authenticate a private key before the module signs with it.
    virtual bool authenticateKey(const boost::shared_ptr<kelvo::plugin::crypto::IPrivateKey>& key,
                                 const std::string& reason) = 0;
};

}  // namespace kelvo::host
