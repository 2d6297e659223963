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
// token locks, the source gives up or the attempts run out. Before each prompt the user
// learns what the token says of its PIN (final try, locked).
class PinDialog {
public:
    PinDialog(PinSource& source, std::ostream& notices, int maxAttempts = 3);

    // The module's authentication callback: logs in through the handle.
    bool authenticate(plugin::crypto::IAuthHandle& handle, const std::string& offered);
    // Authenticates a private key. The module logs the key in through the callback above,
    // which asks for the PIN and retries; a refusal comes back as the module's exception.
    bool authenticate(plugin::crypto::IPrivateKey& key);

private:
    // One attempt through the handle, with what the user must know after it.
    bool attempt(plugin::crypto::IAuthHandle& handle, const std::string& pin);
    // What the prompt names: the device, and the key when one is being authenticated.
    std::string title(const plugin::crypto::IAuthHandle& handle) const;

    PinSource& source_;
    std::ostream& notices_;
    int maxAttempts_;
    std::string keySubject_;  // set while a key is authenticated
};

// UTF-8 text of a wide string.
std::string utf8(const std::wstring& text);

}  // namespace kelvo::host::app
