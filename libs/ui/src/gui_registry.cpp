#include "ui/gui_registry.h"

#include <stdexcept>
#include <unordered_map>

#include <boost/smart_ptr/make_shared.hpp>

#include "exception/throw.h"
#include "ui/editions.h"

namespace kelvo::plugin::ui {

namespace {

using EditionTable = std::unordered_map<std::string, boost::shared_ptr<GuiRegistry::Impl>>;

const EditionTable& editions() {
    static const EditionTable table{
        {"kelvo.plugin", boost::make_shared<KelvoPluginGuiRegistryImpl>()},
        {"valdorino.plugin", boost::make_shared<ValdorinoPluginGuiRegistryImpl>()}};
    return table;
}

// The current edition; empty until a category has been selected successfully.
boost::shared_ptr<GuiRegistry::Impl>& current() {
    static boost::shared_ptr<GuiRegistry::Impl> registry;
    return registry;
}

}  // namespace

GuiRegistry::GuiRegistry(const std::string& category) {
    const auto found = editions().find(category);
    if (found == editions().end()) {
        BOOST_THROW_EXCEPTION(std::runtime_error("ui: unable to get category from " +
                                                 (category.empty() ? "[]" : category)));
    }
    impl_ = found->second;
}

boost::shared_ptr<GuiRegistry::Impl> GuiRegistry::create(const std::string& category) {
    return GuiRegistry(category).impl_;
}

GuiRegistry::Impl& GuiRegistry::instance(const boost::optional<std::string>& category) {
    auto& registry = current();
    if (!registry) {
        registry = create(category.value_or(std::string()));
    } else if (category && registry->settingsGroup() != *category) {
        registry = create(*category);
    }
    return *registry;
}

}  // namespace kelvo::plugin::ui
