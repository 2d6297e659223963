#pragma once

#include <map>
#include <string>

#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::module {
class Module;
}
namespace kelvo::plugin::shared {
struct FormatRecord;
}

namespace kelvo::host {

// Load states of a module, values as the host stores them.
enum class LoadState { None = 0, Loaded, LoadFailed, NotFound, Conflict, Disabled };

struct ModuleEntry {
    boost::shared_ptr<void> handle;
    kelvo::plugin::module::Module* instance = nullptr;  // null while not loaded
    LoadState state = LoadState::None;
};

struct ModuleRegistry {
    std::map<std::string, ModuleEntry> modules;
};

// What a module reads of the host's session; the host owns everything pointed to.
struct Session {
    const kelvo::plugin::shared::FormatRecord* coreFormat = nullptr;
    ModuleRegistry* registry = nullptr;
    bool* tokenCaching = nullptr;
};

}  // namespace kelvo::host
