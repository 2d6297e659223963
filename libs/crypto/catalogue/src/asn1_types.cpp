#include "catalogue/asn1_types.h"

namespace kelvo::plugin::crypto::catalogue {

const std::map<std::string, int>& asn1Types() {
    static const std::map<std::string, int> table = {{"utf8string", 12},
                                                     {"octetstring", 4},
                                                     {"integer", 2},
                                                     {"utctime", 23},
                                                     {"generalizedtime", 24}};
    return table;
}

boost::optional<int> asn1Type(const std::string& name) {
    const auto found = asn1Types().find(name);
    if (found == asn1Types().end()) {
        return boost::none;
    }
    return found->second;
}

}  // namespace kelvo::plugin::crypto::catalogue
