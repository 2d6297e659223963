#pragma once

#include <boost/filesystem/path.hpp>

namespace kelvo::platform {

// Full path of the executable of this process (not of the library asking).
// Throws boost::system::system_error when the system cannot tell.
boost::filesystem::path programLocation();

}  // namespace kelvo::platform
