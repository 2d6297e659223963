#pragma once

#include <string>
#include <vector>

namespace kelvo::plugin::shared {

// How the host describes a module (type, version, category, description).
struct FormatRecord {
    std::string type;
    std::string version;
    std::string category;
    std::string description;
};

struct FormatEntry {
    FormatRecord format;
    std::string data;
};

using FormatEntries = std::vector<FormatEntry>;

// The host's record of one module, shared with the module at init.
struct ModuleMeta {
    std::string name;
    FormatEntries formats;
    std::vector<std::string> dependencies;
};

// Display name of a host module load state (0 to 5).
const std::string& loadStateName(int state);

// Compact JSON array of the entries: [{"format":{...},"data":"..."}].
std::string toJson(const FormatEntries& entries);

}  // namespace kelvo::plugin::shared
