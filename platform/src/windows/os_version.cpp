#include "platform/os_version.h"

#include <windows.h>

namespace kelvo::platform {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// RtlGetVersion, unlike GetVersionEx, is not subject to the compatibility shims that report
// an older system to programs without a manifest.
RtlGetVersionFunction rtlGetVersion() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                       reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                 : nullptr;
}

}  // namespace

OsVersion osVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    OsVersion version;
    const RtlGetVersionFunction query = rtlGetVersion();
    if (!query || query(&info) != 0) {
        return version;
    }
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.productType = info.wProductType;
    return version;
}

}  // namespace kelvo::platform
