#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/smart_ptr/shared_ptr.hpp>

#include "host/session.h"
#include "host/ui_service.h"
#include "module_loader.h"
#include "shared/module_meta.h"

namespace kelvo::plugin::module {
class IToken;
}

namespace kelvo::host::app {

class HostModule;

// Everything the host keeps for one run: the core format record with the edition, the module
// registry with the host's own module and the loaded plug-ins, and the token caching switch.
class HostSession {
public:
    HostSession(const std::string& edition, bool caching, IUiService& ui);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    void load(const std::vector<PluginFile>& plugins, const ModuleLoader::Policy& policy);
    // Hands every loaded module the session and its metadata record.
    void init();
    // The token interface of the first module that offers one (runs its driver check).
    plugin::module::IToken* token();

    Session* session() { return &session_; }
    const ModuleRegistry& registry() const { return registry_; }
    const std::map<std::string, boost::shared_ptr<plugin::shared::ModuleMeta>>& metas() const {
        return metas_;
    }

private:
    plugin::shared::FormatRecord core_;
    bool caching_;
    std::unique_ptr<HostModule> hostModule_;
    ModuleRegistry registry_;
    std::map<std::string, boost::shared_ptr<plugin::shared::ModuleMeta>> metas_;
    Session session_;
};

}  // namespace kelvo::host::app
