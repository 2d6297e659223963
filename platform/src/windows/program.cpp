#include "platform/program.h"

#include <boost/system/system_error.hpp>

#include "module_path.h"

namespace kelvo::platform {

boost::filesystem::path programLocation() {
    const std::wstring path = executablePath();
    if (path.empty()) {
        throw boost::system::system_error(
            boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory),
            "programLocation");
    }
    return boost::filesystem::path(path);
}

}  // namespace kelvo::platform
