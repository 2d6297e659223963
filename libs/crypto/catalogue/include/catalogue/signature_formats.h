#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

// "xmldsig", "attached", "detached".
const std::vector<std::string>& signatureFormats();
// The formats without a detached signature: "xmldsig", "attached".
const std::vector<std::string>& reducedSignatureFormats();
// Display name of a format; the Russian names are Windows-1251.
boost::optional<std::string> signatureFormatName(const std::string& format);

}  // namespace kelvo::plugin::crypto::catalogue
