#pragma once

#include <string>

namespace kelvo::platform {

// Full path of the executable of this process, empty when the system cannot tell.
std::wstring executablePath();

}  // namespace kelvo::platform
