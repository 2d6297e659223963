#pragma once

#include <cstdint>
#include <string>

#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/iauth_handle.h"
#include "cryptoki/device.h"

namespace kelvo::plugin::cryptoki {

// One user-PIN login attempt context for one device, as the host's PIN dialog uses it.
class TokenAuth : public crypto::IAuthHandle {
public:
    // Reads the token's PIN flags at once; throws CryptoException TokensLoginFailed when the
    // token information cannot be read.
    explicit TokenAuth(const Device& device);

    bool authenticate(const std::string& pin) override;
    bool failed() const override;
    std::uint32_t states() const override { return states_; }
    const std::wstring& title() const override { return title_; }
    bool rememberPin() const override { return false; }
    bool isLocked() const override { return (states_ & Locked) != 0; }
    bool canRememberPin() const override { return false; }
    bool isTokenPin() const override { return true; }

private:
    void updateStates();

    CK_RV lastResult_ = CKR_USER_NOT_LOGGED_IN;
    std::uint32_t states_ = 1;
    std::uint32_t reserved_ = 0;
    Device device_;
    std::wstring title_;
};

// Makes sure the device's slot is logged in: an existing login is reused, otherwise the
// host's PIN callback (when installed) or the given PIN decides, through the given handle or
// a new one for the device. The caller owns the logout.
bool ensureLogin(const Device& device, const std::string& pin,
                 boost::shared_ptr<crypto::IAuthHandle> handle = {});

}  // namespace kelvo::plugin::cryptoki
