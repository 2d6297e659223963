#include "platform/program.h"

#include <boost/dll/runtime_symbol_info.hpp>

namespace kelvo::platform {

boost::filesystem::path programLocation() {
    return boost::filesystem::path(boost::dll::program_location().native());
}

}  // namespace kelvo::platform
