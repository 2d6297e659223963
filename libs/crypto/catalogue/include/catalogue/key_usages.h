#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

// Key-usage names with their bits in OpenSSL's key-usage mask, in X.509 bit order
// ("digitalsignature" 0x80 ... "decipheronly" 0x8000).
const std::vector<std::pair<std::string, std::uint16_t>>& keyUsages();

boost::optional<std::uint16_t> keyUsageBit(const std::string& name);

}  // namespace kelvo::plugin::crypto::catalogue
