#include "module_loader.h"

#include <algorithm>
#include <memory>

#include <QDir>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QPointer>
#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "module/module.h"

namespace kelvo::host::app {

namespace {

using plugin::shared::ModuleMeta;

// Owns a loaded plug-in: the host owns the root object once the library handed it out.
struct LoadedPlugin {
    std::unique_ptr<QPluginLoader> loader;
    QPointer<QObject> root;

    ~LoadedPlugin() { delete root.data(); }
};

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<std::string> strings(const QJsonArray& array) {
    std::vector<std::string> result;
    for (const auto& value : array) {
        result.push_back(value.toString().toStdString());
    }
    return result;
}

// Instantiates one plug-in; the entry stays "load failed" when Qt or the root object refuse.
ModuleEntry instantiate(const PluginFile& file) {
    ModuleEntry entry;
    entry.state = LoadState::LoadFailed;
    auto loaded = boost::make_shared<LoadedPlugin>();
    loaded->loader = std::make_unique<QPluginLoader>(file.path);
    QObject* root = loaded->loader->instance();
    if (!root) {
        BOOST_LOG_TRIVIAL(warning)
            << "host: " << file.meta->name
            << ": load failed: " << loaded->loader->errorString().toStdString();
        return entry;
    }
    loaded->root = root;
    auto* module = dynamic_cast<plugin::module::Module*>(root);
    if (!module) {
        BOOST_LOG_TRIVIAL(warning)
            << "host: " << file.meta->name << ": load failed: the root object is not a host module";
        return entry;
    }
    entry.handle = loaded;
    entry.instance = module;
    entry.state = LoadState::Loaded;
    return entry;
}

}  // namespace

boost::optional<PluginFile> ModuleLoader::inspect(const QString& path) {
    QPluginLoader loader(path);
    const QJsonObject metaData = loader.metaData();
    if (metaData.value("IID").toString() != "plugin") {
        return boost::none;
    }
    const QJsonObject user = metaData.value("MetaData").toObject();
    const QJsonObject format = user.value("format").toObject();
    PluginFile file;
    file.path = path;
    file.meta = boost::make_shared<ModuleMeta>();
    plugin::shared::FormatRecord record{format.value("type").toString().toStdString(),
                                        format.value("version").toString().toStdString(),
                                        format.value("category").toString().toStdString(),
                                        format.value("description").toString().toStdString()};
    if (record.type.empty()) {
        return boost::none;
    }
    file.meta->name = record.type;
    file.meta->formats.push_back({record, std::string()});
    file.meta->dependencies = strings(user.value("dependencies").toArray());
    file.methods = user.value("methods").toArray();
    return file;
}

std::vector<PluginFile> ModuleLoader::scan(const QString& folder) {
    std::vector<PluginFile> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        const QString path = dir.absoluteFilePath(name);
        if (!QLibrary::isLibrary(path)) {
            continue;
        }
        if (auto file = inspect(path)) {
            files.push_back(*file);
        }
    }
    return files;
}

void ModuleLoader::load(const std::vector<PluginFile>& plugins, const Policy& policy,
                        ModuleRegistry& registry,
                        std::map<std::string, boost::shared_ptr<ModuleMeta>>& metas) {
    auto& entries = registry.modules;
    std::vector<const PluginFile*> pending;
    for (const auto& file : plugins) {
        const std::string& name = file.meta->name;
        if (entries.count(name)) {
            continue;  // the first file of a name wins
        }
        if (contains(policy.disabled, name)) {
            entries[name].state = LoadState::Disabled;
            continue;
        }
        entries[name].state = LoadState::None;
        pending.push_back(&file);
    }
    for (const auto& name : policy.required) {
        if (!entries.count(name)) {
            entries[name].state = LoadState::NotFound;
        }
    }

    // A dependency is met once its module is loaded, and can no longer be met once its
    // module is missing or settled in any other state.
    auto settledOther = [&entries](const std::string& name) {
        const auto found = entries.find(name);
        return found == entries.end() ||
               (found->second.state != LoadState::Loaded && found->second.state != LoadState::None);
    };
    bool progress = true;
    while (progress && !pending.empty()) {
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            const PluginFile& file = **it;
            const auto& dependencies = file.meta->dependencies;
            const bool unmet = std::any_of(dependencies.begin(), dependencies.end(), settledOther);
            const bool ready =
                !unmet && std::all_of(dependencies.begin(), dependencies.end(),
                                      [&entries](const std::string& name) {
                                          return entries.at(name).state == LoadState::Loaded;
                                      });
            if (unmet) {
                entries[file.meta->name].state = LoadState::Conflict;
            } else if (ready) {
                entries[file.meta->name] = instantiate(file);
                if (entries[file.meta->name].state == LoadState::Loaded) {
                    metas[file.meta->name] = file.meta;
                }
            } else {
                ++it;
                continue;
            }
            it = pending.erase(it);
            progress = true;
        }
    }
    for (const PluginFile* file : pending) {
        entries[file->meta->name].state = LoadState::Conflict;  // dependency cycle
    }
}

}  // namespace kelvo::host::app
