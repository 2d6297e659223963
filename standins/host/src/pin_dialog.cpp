#include "pin_dialog.h"

#include <QString>
#include <boost/scope_exit.hpp>

#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "crypto/iprivate_key.h"

namespace kelvo::host::app {

using plugin::crypto::IAuthHandle;

std::string utf8(const std::wstring& text) {
    return QString::fromStdWString(text).toStdString();
}

PinDialog::PinDialog(PinSource& source, std::ostream& notices, int maxAttempts)
    : source_(source), notices_(notices), maxAttempts_(maxAttempts) {}

std::string PinDialog::title(const IAuthHandle& handle) const {
    const std::string device = utf8(handle.title());
    return keySubject_.empty() ? device : "the key of " + keySubject_ + " on " + device;
}

bool PinDialog::attempt(IAuthHandle& handle, const std::string& pin) {
    const std::string device = utf8(handle.title());
    if (handle.authenticate(pin)) {
        return true;
    }
    if (handle.isLocked()) {
        notices_ << "Wrong PIN. The PIN of " << device << " is now locked.\n";
    } else if (handle.states() & IAuthHandle::FinalTry) {
        notices_ << "Wrong PIN. One attempt left before " << device << " locks.\n";
    } else {
        notices_ << "Wrong PIN for " << device << ".\n";
    }
    return false;
}

bool PinDialog::authenticate(IAuthHandle& handle, const std::string& offered) {
    for (int attempts = 0; attempts < maxAttempts_; ++attempts) {
        if (handle.isLocked()) {
            notices_ << "The PIN of " << utf8(handle.title()) << " is locked.\n";
            return false;
        }
        // After a wrong PIN the notice has said so already.
        if (attempts == 0 && (handle.states() & IAuthHandle::FinalTry)) {
            notices_ << "Final try: a wrong PIN locks " << utf8(handle.title()) << ".\n";
        }
        if (!offered.empty()) {
            return attempt(handle, offered);
        }
        const auto pin = source_.pin({title(handle), handle.states(), attempts});
        if (!pin) {
            notices_ << source_.giveUpNotice() << '\n';
            return false;
        }
        if (attempt(handle, pin->str())) {
            return true;
        }
        if (handle.isLocked()) {
            return false;
        }
    }
    return false;
}

bool PinDialog::authenticate(plugin::crypto::IPrivateKey& key) {
    if (key.isAuthenticated()) {
        return true;
    }
    const auto certificate = key.certificate();
    keySubject_ = certificate ? certificate->subject() : std::string("a certificate");
    BOOST_SCOPE_EXIT_ALL(this) {
        keySubject_.clear();
    };
    return key.authenticate(std::string());
}

}  // namespace kelvo::host::app
