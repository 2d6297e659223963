#pragma once

#include <ostream>

#include "host/ui_service.h"
#include "pin_dialog.h"

namespace kelvo::host::app {

// The host's user-interface service on a terminal: PIN entry, messages and questions.
class TerminalUiService : public IUiService {
public:
    TerminalUiService(PinSource& pins, std::ostream& out, int maxAttempts = 3);

    AuthCallback authCallback() override;
    void showMessage(const std::wstring& text) override;
    bool confirm(const std::wstring& question) override;
    bool authenticateKey(const boost::shared_ptr<plugin::crypto::IPrivateKey>& key,
                         const std::string& reason) override;

private:
    PinDialog dialog_;
    std::ostream& out_;
};

}  // namespace kelvo::host::app
