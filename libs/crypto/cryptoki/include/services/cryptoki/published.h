#pragma once

#include <string>

#include "host/ui_service.h"

namespace kelvo::plugin::cryptoki {

// What the token module publishes at init for the token services: the host's
// user-interface service and its PIN callback, and the edition's device title format.
struct Published {
    host::IUiService* uiService = nullptr;
    host::IUiService::AuthCallback authCallback;
    std::wstring deviceTitleFormat;
};

Published& published();

}  // namespace kelvo::plugin::cryptoki
