#pragma once

#include <set>
#include <string>

#include <boost/optional.hpp>

#include "host/session.h"

namespace kelvo::plugin::module {
class Module;
}

// What the module reads of the host session.
namespace kelvo::plugin::session {

// Edition category of the host's core module ("kelvo.plugin", "valdorino.plugin").
boost::optional<std::string> category(const host::Session* session);
// Loaded module instances, ordered by address.
std::set<module::Module*> modules(const host::Session* session);
// The host's token caching switch; on when the host says nothing.
bool tokenCaching(const host::Session* session);

}  // namespace kelvo::plugin::session
