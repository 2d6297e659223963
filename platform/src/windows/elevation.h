#pragma once

#include <string>

// What the installer launch needs of Windows, without Qt.
namespace kelvo::platform::elevation {

// Membership of the current thread's token in the built-in Administrators group; a failed
// check counts as no membership.
bool isAdministrator();

// Starts the file with the "runas" verb (the elevation prompt) and waits for it without
// limit. True when it was started and has finished.
bool runElevated(const std::wstring& file);

}  // namespace kelvo::platform::elevation
