#include "session/session.h"

#include <boost/log/trivial.hpp>

#include "shared/module_meta.h"

namespace kelvo::plugin::session {

boost::optional<std::string> category(const host::Session* session) {
    const shared::FormatRecord* core = session ? session->coreFormat : nullptr;
    if (core && !core->category.empty() && core->type == "core") {
        return core->category;
    }
    BOOST_LOG_TRIVIAL(warning) << "session: unable to get category from config";
    return boost::none;
}

std::set<module::Module*> modules(const host::Session* session) {
    std::set<module::Module*> result;
    if (!session || !session->registry) {
        return result;
    }
    for (const auto& [name, entry] : session->registry->modules) {
        if (entry.instance) {
            result.insert(entry.instance);
        }
    }
    return result;
}

bool tokenCaching(const host::Session* session) {
    return !session || !session->tokenCaching || *session->tokenCaching;
}

}  // namespace kelvo::plugin::session
