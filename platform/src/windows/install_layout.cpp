#include "platform/install_layout.h"

// An installed system keeps everything in the host program's folder: the vendor's library
// beside the program, the files the module writes for the user there as well.
namespace kelvo::platform::install_layout {

std::vector<boost::filesystem::path> vendorFolders(const boost::filesystem::path& programFolder) {
    return {programFolder};
}

boost::filesystem::path userFilesFolder(const boost::filesystem::path& programFolder) {
    return programFolder;
}

}  // namespace kelvo::platform::install_layout
