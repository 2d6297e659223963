#pragma once

// How this system names the files that other systems name differently
// (".dll" and ".bat" on Windows).
namespace kelvo::platform {

inline constexpr const char* sharedLibrarySuffix = ".so";
inline constexpr const char* scriptSuffix = ".sh";

}  // namespace kelvo::platform
