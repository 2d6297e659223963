#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QString>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "host/session.h"
#include "shared/module_meta.h"

namespace kelvo::host::app {

// A plug-in file whose metadata says it is a host module.
struct PluginFile {
    QString path;
    boost::shared_ptr<plugin::shared::ModuleMeta> meta;
    QJsonArray methods;
};

// Loads host modules from a folder the Qt way: metadata first (interface id "plugin",
// "format", "dependencies", "methods"), then the library, in dependency order.
class ModuleLoader {
public:
    // Modules that must be there even when no file provides them, and modules never loaded.
    struct Policy {
        std::vector<std::string> required;
        std::vector<std::string> disabled;
    };

    // Reads the metadata of every library in the folder without running its code; files
    // without host-module metadata (the vendor library, for one) are not modules and skipped.
    static std::vector<PluginFile> scan(const QString& folder);
    // Reads one file's metadata; empty when it is not a host module.
    static boost::optional<PluginFile> inspect(const QString& path);

    // Loads the plug-ins into the registry. Entries already there (the host's own modules)
    // count as loaded dependencies. Metadata records of the loaded modules go to `metas`.
    static void load(const std::vector<PluginFile>& plugins, const Policy& policy,
                     ModuleRegistry& registry,
                     std::map<std::string, boost::shared_ptr<plugin::shared::ModuleMeta>>& metas);
};

}  // namespace kelvo::host::app
