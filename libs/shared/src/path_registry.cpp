#include "shared/path_registry.h"

#include <stdexcept>
#include <string>

#include <boost/filesystem/operations.hpp>

#include "exception/throw.h"
#include "platform/file_names.h"
#include "platform/install_layout.h"
#include "platform/program.h"

namespace kelvo::plugin::shared::path_registry {

namespace {

// The host shows these texts as Windows-1251, so they are kept in that code page.
// "Не удалось получить путь к приложению"
constexpr const char* kProgramFolderUnknown =
    "\xcd\xe5 \xf3\xe4\xe0\xeb\xee\xf1\xfc \xef\xee\xeb\xf3\xf7\xe8\xf2\xfc \xef\xf3\xf2\xfc "
    "\xea \xef\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xfe";
// "Не удалось прочитать файл ресурсов zolvex"
constexpr const char* kResourceFileUnreadable =
    "\xcd\xe5 \xf3\xe4\xe0\xeb\xee\xf1\xfc \xef\xf0\xee\xf7\xe8\xf2\xe0\xf2\xfc \xf4\xe0\xe9\xeb "
    "\xf0\xe5\xf1\xf3\xf0\xf1\xee\xe2 zolvex";

struct CheckedPath {
    boost::filesystem::path path;
    bool exists;
};

bool fileExists(const boost::filesystem::path& path) {
    boost::system::error_code error;
    const auto type = boost::filesystem::status(path, error).type();
    return type != boost::filesystem::status_error && type != boost::filesystem::file_not_found;
}

// The first vendor folder that holds the library; when none does, the program folder's path
// is the one reported.
CheckedPath checkedResource() {
    const std::string name = std::string("./voxa_pkcs11_main") + platform::sharedLibrarySuffix;
    const auto folders = platform::install_layout::vendorFolders(thisDir());
    for (const auto& folder : folders) {
        if (fileExists(folder / name)) {
            return {folder / name, true};
        }
    }
    return {folders.front() / name, false};
}

}  // namespace

boost::filesystem::path thisDir() {
    static const boost::filesystem::path dir = platform::programLocation().parent_path();
    if (dir.empty()) {
        BOOST_THROW_EXCEPTION(std::runtime_error(kProgramFolderUnknown));
    }
    return dir;
}

boost::filesystem::path zolvexResourceFile() {
    // A library installed after the first call is only seen by the next process.
    static const CheckedPath resource = checkedResource();
    if (!resource.exists) {
        BOOST_THROW_EXCEPTION(std::runtime_error(kResourceFileUnreadable));
    }
    return resource.path;
}

boost::filesystem::path zolvexInstallerScript() {
    static const boost::filesystem::path path =
        thisDir() / (std::string("register_zolvex") + platform::scriptSuffix);
    return path;
}

boost::filesystem::path zolvexRejectMarker() {
    static const boost::filesystem::path path =
        platform::install_layout::userFilesFolder(thisDir()) / "reject_zolvex.ini";
    return path;
}

}  // namespace kelvo::plugin::shared::path_registry
