#include "host_session.h"

#include <boost/smart_ptr/make_shared.hpp>

#include "host_module.h"
#include "module/module.h"

namespace kelvo::host::app {

namespace {

const char* const kHostModule = "host";
const char* const kVersion = "1.3.45.0";

}  // namespace

HostSession::HostSession(const std::string& edition, bool caching, IUiService& ui)
    : core_{"core", kVersion, edition, "command-line signing host"},
      caching_(caching),
      hostModule_(std::make_unique<HostModule>(ui)) {
    session_.coreFormat = &core_;
    session_.registry = &registry_;
    session_.tokenCaching = &caching_;

    auto meta = boost::make_shared<plugin::shared::ModuleMeta>();
    meta->name = kHostModule;
    meta->formats.push_back({{kHostModule, kVersion, "host", "terminal user interface"}, ""});
    metas_[kHostModule] = meta;
    ModuleEntry& entry = registry_.modules[kHostModule];
    entry.instance = hostModule_.get();
    entry.state = LoadState::Loaded;
}

HostSession::~HostSession() {
    // Plug-in roots go first: they may still call the host module while shutting down.
    for (auto& [name, entry] : registry_.modules) {
        if (name != kHostModule) {
            entry.instance = nullptr;
            entry.handle.reset();
        }
    }
}

void HostSession::load(const std::vector<PluginFile>& plugins, const ModuleLoader::Policy& policy) {
    ModuleLoader::load(plugins, policy, registry_, metas_);
}

void HostSession::init() {
    for (auto& [name, entry] : registry_.modules) {
        if (entry.instance) {
            entry.instance->init(&session_, metas_.at(name));
        }
    }
}

plugin::module::IToken* HostSession::token() {
    for (auto& [name, entry] : registry_.modules) {
        if (entry.instance) {
            if (auto* token = entry.instance->token()) {
                return token;
            }
        }
    }
    return nullptr;
}

}  // namespace kelvo::host::app
