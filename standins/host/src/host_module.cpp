#include "host_module.h"

namespace kelvo::host::app {

IUiService* HostModule::uiService() {
    return &service_;
}

}  // namespace kelvo::host::app
