#pragma once

namespace kelvo::platform {

struct OsVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    unsigned productType = 0;  // 1 workstation, 2 domain controller, 3 server
};

// Version of the running system (RtlGetVersion on Windows; the kernel release on POSIX,
// reported as a workstation). All zero when it cannot be told.
OsVersion osVersion();

}  // namespace kelvo::platform
