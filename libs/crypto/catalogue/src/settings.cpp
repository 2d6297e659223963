#include "catalogue/settings.h"

#include <mutex>
#include <utility>

namespace kelvo::plugin::crypto::catalogue {

namespace {

struct Published {
    std::mutex mutex;
    std::string group;
};

Published& published() {
    static Published instance;
    return instance;
}

}  // namespace

void setSettingsGroup(std::string group) {
    Published& state = published();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.group = std::move(group);
}

std::string settingsGroup() {
    Published& state = published();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.group;
}

}  // namespace kelvo::plugin::crypto::catalogue
