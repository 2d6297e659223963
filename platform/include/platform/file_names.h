#pragma once

// How this system names the files that other systems name differently.
namespace kelvo::platform {

#ifdef _WIN32
inline constexpr const char* sharedLibrarySuffix = ".dll";
inline constexpr const char* scriptSuffix = ".bat";
#else
inline constexpr const char* sharedLibrarySuffix = ".so";
inline constexpr const char* scriptSuffix = ".sh";
#endif

}  // namespace kelvo::platform
