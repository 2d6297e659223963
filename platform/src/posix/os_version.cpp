#include "platform/os_version.h"

#include <sys/utsname.h>

#include <cstdio>

namespace kelvo::platform {

OsVersion osVersion() {
    OsVersion version;
    utsname system{};
    if (::uname(&system) != 0) {
        return version;
    }
    std::sscanf(system.release, "%u.%u.%u", &version.major, &version.minor, &version.build);
    version.productType = 1;
    return version;
}

}  // namespace kelvo::platform
