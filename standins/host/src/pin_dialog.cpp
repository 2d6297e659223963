#include "pin_dialog.h"

#include <QString>

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

bool PinDialog::attempt(IAuthHandle& handle, const std::string& pin) {
    const std::string title = utf8(handle.title());
    if (handle.isLocked()) {
        lockSeen_ = true;
        notices_ << "The PIN of " << title << " is locked.\n";
        return false;
    }
    if (handle.states() & IAuthHandle::FinalTry) {
        notices_ << "Final try: a wrong PIN locks " << title << ".\n";
    }
    if (handle.authenticate(pin)) {
        return true;
    }
    if (handle.isLocked()) {
        lockSeen_ = true;
        notices_ << "Wrong PIN. The PIN of " << title << " is now locked.\n";
    } else if (handle.states() & IAuthHandle::FinalTry) {
        notices_ << "Wrong PIN. One attempt left before " << title << " locks.\n";
    } else {
        notices_ << "Wrong PIN for " << title << ".\n";
    }
    return false;
}

bool PinDialog::authenticate(IAuthHandle& handle, const std::string& offered) {
    if (!offered.empty()) {
        return attempt(handle, offered);
    }
    for (int attempts = 0; attempts < maxAttempts_; ++attempts) {
        if (handle.isLocked()) {
            notices_ << "The PIN of " << utf8(handle.title()) << " is locked.\n";
            return false;
        }
        const auto pin = source_.pin({utf8(handle.title()), handle.states(), attempts});
        if (!pin) {
            notices_ << "PIN entry cancelled.\n";
            return false;
        }
        if (attempt(handle, *pin)) {
            return true;
        }
    }
    return false;
}

bool PinDialog::authenticate(plugin::crypto::IPrivateKey& key) {
    if (key.isAuthenticated()) {
        return true;
    }
    const auto certificate = key.certificate();
    const std::string title =
        "the key of " + (certificate ? certificate->subject() : std::string("a certificate"));
    for (int attempts = 0; attempts < maxAttempts_; ++attempts) {
        const auto pin = source_.pin({title, 0, attempts});
        if (!pin) {
            notices_ << "PIN entry cancelled.\n";
            return false;
        }
        // The module checks this PIN through the handle callback, which reports the
        // token's PIN state.
        if (key.authenticate(*pin)) {
            return true;
        }
        if (lockSeen_) {
            return false;
        }
    }
    return false;
}

}  // namespace kelvo::host::app
