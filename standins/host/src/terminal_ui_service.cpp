#include "terminal_ui_service.h"

#include <cstdio>
#include <memory>

#include "crypto/iauth_handle.h"
#include "crypto/iprivate_key.h"

namespace kelvo::host::app {

TerminalUiService::TerminalUiService(PinSource& pins, std::ostream& out, int maxAttempts)
    : dialog_(pins, out, maxAttempts), out_(out) {}

IUiService::AuthCallback TerminalUiService::authCallback() {
    return [this](const boost::shared_ptr<plugin::crypto::IAuthHandle>& handle,
                  const std::string& pin) { return handle && dialog_.authenticate(*handle, pin); };
}

void TerminalUiService::showMessage(const std::wstring& text) {
    out_ << utf8(text) << '\n';
}

bool TerminalUiService::confirm(const std::wstring& question) {
    out_ << utf8(question) << " [y/N] " << std::flush;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> tty(std::fopen("/dev/tty", "r"), std::fclose);
    if (!tty) {
        out_ << "no terminal: answered no\n";
        return false;
    }
    const int answer = std::fgetc(tty.get());
    return answer == 'y' || answer == 'Y';
}

bool TerminalUiService::authenticateKey(const boost::shared_ptr<plugin::crypto::IPrivateKey>& key,
                                        const std::string&) {
    return key && dialog_.authenticate(*key);
}

}  // namespace kelvo::host::app
