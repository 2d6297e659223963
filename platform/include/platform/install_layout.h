#pragma once

#include <vector>

#include <boost/filesystem/path.hpp>

// Where the files the module looks for or writes live, seen from the host program's folder.
namespace kelvo::platform::install_layout {

// Folders that may hold the vendor's PKCS#11 library, in the order they are tried: the
// program's own folder, then the vendor's folder of an installed system reached from the
// program's bin/ folder (lib/<multiarch>/voxa), so that an unpacked tree works as well.
std::vector<boost::filesystem::path> vendorFolders(const boost::filesystem::path& programFolder);

// Folder for the files the module writes for the user (the refusal marker): the program's
// folder when the user may write there and it is not the installed bin/ folder, else the
// user's configuration folder of ours ($XDG_CONFIG_HOME/kelvo, ~/.config/kelvo), which may
// not exist yet.
boost::filesystem::path userFilesFolder(const boost::filesystem::path& programFolder);

}  // namespace kelvo::platform::install_layout
