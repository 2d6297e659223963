#pragma once

#include <map>
#include <string>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

// How the certificate holder was identified: "personal" 0, "remotecert" 1,
// "remotepassport" 2, "remotesystem" 3.
const std::map<std::string, int>& identificationKinds();

// Exact-name lookup.
boost::optional<int> identificationKind(const std::string& name);

}  // namespace kelvo::plugin::crypto::catalogue
