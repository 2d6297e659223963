#include "platform/install_layout.h"

#include <unistd.h>

#include <QStandardPaths>
#include <boost/filesystem/operations.hpp>

namespace kelvo::platform::install_layout {

namespace {

// An installed system writes nothing of the user's into its own folders, even for root.
bool isInstalledBinFolder(const boost::filesystem::path& folder) {
    boost::system::error_code error;
    return boost::filesystem::equivalent(folder, KELVO_INSTALL_FULL_BINDIR, error);
}

}  // namespace

std::vector<boost::filesystem::path> vendorFolders(const boost::filesystem::path& programFolder) {
    // The program folder is a real path (the loader resolved its links), so ".." steps
    // can be folded by text.
    return {programFolder, (programFolder / KELVO_VENDOR_DIR_FROM_BINDIR).lexically_normal()};
}

boost::filesystem::path userFilesFolder(const boost::filesystem::path& programFolder) {
    if (::access(programFolder.c_str(), W_OK) == 0 && !isInstalledBinFolder(programFolder)) {
        return programFolder;
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return boost::filesystem::path(config.toStdString()) / "kelvo";
}

}  // namespace kelvo::platform::install_layout
