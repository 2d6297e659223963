#include "catalogue/key_usages.h"

#include <algorithm>

namespace kelvo::plugin::crypto::catalogue {

const std::vector<std::pair<std::string, std::uint16_t>>& keyUsages() {
    static const std::vector<std::pair<std::string, std::uint16_t>> table = {
        {"digitalsignature", 0x80}, {"nonrepudiation", 0x40}, {"keyencipherment", 0x20},
        {"dataencipherment", 0x10}, {"keyagreement", 0x08},   {"keycertsign", 0x04},
        {"crlsign", 0x02},          {"encipheronly", 0x01},   {"decipheronly", 0x8000},
    };
    return table;
}

boost::optional<std::uint16_t> keyUsageBit(const std::string& name) {
    const auto& table = keyUsages();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&name](const auto& row) { return row.first == name; });
    if (found == table.end()) {
        return boost::none;
    }
    return found->second;
}

}  // namespace kelvo::plugin::crypto::catalogue
