#include "catalogue/identification_kinds.h"

namespace kelvo::plugin::crypto::catalogue {

const std::map<std::string, int>& identificationKinds() {
    static const std::map<std::string, int> table = {
        {"personal", 0}, {"remotecert", 1}, {"remotepassport", 2}, {"remotesystem", 3}};
    return table;
}

boost::optional<int> identificationKind(const std::string& name) {
    const auto found = identificationKinds().find(name);
    if (found == identificationKinds().end()) {
        return boost::none;
    }
    return found->second;
}

}  // namespace kelvo::plugin::crypto::catalogue
