#pragma once

#include <QString>
#include <boost/filesystem/path.hpp>

namespace kelvo::platform {

// A path as Qt names the file: from the wide form on Windows (the narrow one goes through the
// ANSI code page, which cannot hold every folder name), from the UTF-8 bytes elsewhere.
QString qtPath(const boost::filesystem::path& path);

}  // namespace kelvo::platform
