#pragma once

#include <boost/filesystem/path.hpp>

// Well-known locations beside the host program (or, on an installed system, where the platform
// layer places them relative to it). Each entry is computed once, on first call, and handed
// out as a copy.
namespace kelvo::plugin::shared::path_registry {

// Folder of the host program (the executable of the process, not this library).
// Throws std::runtime_error (Windows-1251 text) when it cannot be determined.
boost::filesystem::path thisDir();

// The vendor PKCS#11 library beside the host program, else in the first of the platform's
// vendor folders that holds it. Where it is, and whether it exists, is decided on the first
// call; while it was missing then, every call throws std::runtime_error (Windows-1251 text).
boost::filesystem::path zolvexResourceFile();

// The vendor's driver installer script beside the host program (not checked).
boost::filesystem::path zolvexInstallerScript();

// The marker file that remembers the user refused the driver installation (not checked): beside
// the host program, or in the user's own folder when the program's folder is not the user's
// to write (an installed program).
boost::filesystem::path zolvexRejectMarker();

}  // namespace kelvo::plugin::shared::path_registry
