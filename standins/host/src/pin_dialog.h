#pragma once

#include <ostream>
#include <string>

#include "pin_source.h"

namespace kelvo::plugin::crypto {
class IAuthHandle;
class IPrivateKey;
}  // namespace kelvo::plugin::crypto

namespace kelvo::host::app {

// The host's PIN dialog on a terminal. Whoever picks the PIN owns the retries: a PIN offered
// by the caller is tried once, a PIN asked here is asked again after a wrong one until the
// token locks, the source gives up or the attempts run out.
class PinDialog {
public:
    PinDialog(PinSource& source, std::ostream& notices, int maxAttempts = 3);

    // The module's authentication callback: logs in through the handle.
    bool authenticate(plugin::crypto::IAuthHandle& handle, const std::string& offered);
    // Authenticates a private key with PINs from the source.
    bool authenticate(plugin::crypto::IPrivateKey& key);

private:
    // One attempt through the handle, with what the user must know before and after it.
    bool attempt(plugin::crypto::IAuthHandle& handle, const std::string& pin);

    PinSource& source_;
    std::ostream& notices_;
    int maxAttempts_;
    bool lockSeen_ = false;  // a locked PIN ends every further dialog
};

// UTF-8 text of a wide string.
std::string utf8(const std::wstring& text);

}  // namespace kelvo::host::app
