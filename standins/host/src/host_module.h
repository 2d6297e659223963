#pragma once

#include "host/ui_service.h"
#include "module/module.h"

namespace kelvo::host::app {

// The host's own module: it offers the user-interface service to the loaded modules.
class HostModule : public plugin::module::Module {
public:
    explicit HostModule(IUiService& service) : service_(service) {}
    IUiService* uiService() override;

private:
    IUiService& service_;
};

}  // namespace kelvo::host::app
