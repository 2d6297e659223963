#pragma once

#include <map>
#include <string>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

// ASN.1 universal tag numbers by type name ("utf8string" 12, "octetstring" 4, "integer" 2,
// "utctime" 23, "generalizedtime" 24).
const std::map<std::string, int>& asn1Types();

boost::optional<int> asn1Type(const std::string& name);

}  // namespace kelvo::plugin::crypto::catalogue
