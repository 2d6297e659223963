#pragma once

#include <string>

namespace kelvo::plugin::crypto::catalogue {

// The settings group of the running edition, published by the token module at init.
// The active provider catalogue depends on it.
void setSettingsGroup(std::string group);
std::string settingsGroup();

// The edition that has no key storage providers in its catalogue.
inline constexpr const char* kReducedEdition = "valdorino.plugin";

}  // namespace kelvo::plugin::crypto::catalogue
