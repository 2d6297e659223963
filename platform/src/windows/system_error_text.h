#pragma once

#include <string>

namespace kelvo::platform {

// The system's text for an error code (GetLastError), in the ANSI code page, with the code.
std::string systemErrorText(unsigned long code);

}  // namespace kelvo::platform
