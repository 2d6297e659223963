#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

// Compound extension of a signed XML document ("report.xml.sig").
inline constexpr const char* kSignedXmlExtension = ".xml.sig";

// Qt resource path (":/file_extension/...") of the icon for a lower-case extension with its
// leading dot; empty for an extension without an icon.
boost::optional<std::string> iconPath(const std::string& extension);

// Every extension that has an icon.
std::vector<std::string> iconExtensions();

// Still images the host previews: ".png", ".bmp", ".jpg", ".jpeg".
const std::vector<std::string>& imageExtensions();
// Animated images: ".gif", ".mng".
const std::vector<std::string>& animatedImageExtensions();

}  // namespace kelvo::plugin::crypto::catalogue
