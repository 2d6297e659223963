# Windows with MSVC (the host is a 32-bit MSVC 2019 build of Qt 5.15): what differs from the
# GCC and clang builds. Included right after project(), before the options.
if(NOT WIN32)
    return()
endif()

# Windows 7 and later, as Qt 5.15 supports. Boost.Log's ABI namespace depends on the Windows
# version Boost is built for, so both must agree with the prebuilt Boost binaries (nt6).
set(KELVO_WINNT_VERSION 0x0601 CACHE STRING "_WIN32_WINNT and BOOST_USE_WINAPI_VERSION")
add_compile_definitions(_WIN32_WINNT=${KELVO_WINNT_VERSION}
                        BOOST_USE_WINAPI_VERSION=${KELVO_WINNT_VERSION} NOMINMAX
                        WIN32_LEAN_AND_MEAN UNICODE _UNICODE)

if(NOT MSVC)
    return()
endif()

# The stand-ins and the suites drive Linux tools (pkcs11-tool, p11tool, pkexec); the Windows
# build is the plug-in and its libraries.
set(KELVO_BUILD_TESTS OFF CACHE BOOL "Build the test suites")
set(KELVO_STANDINS OFF CACHE BOOL "Build the stand-ins and what runs against them")

# Release code against the release C runtime only: a debug plug-in would pull the debug Qt and
# C runtime into the release host.
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
    set(CMAKE_CONFIGURATION_TYPES Release RelWithDebInfo CACHE STRING "" FORCE)
else()
    if(NOT CMAKE_BUILD_TYPE)
        set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
    endif()
    if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo)$")
        message(FATAL_ERROR "MSVC builds are Release or RelWithDebInfo (the host uses the "
                            "release runtime), not ${CMAKE_BUILD_TYPE}")
    endif()
endif()
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)

# Sources are UTF-8 (Cyrillic wide and u8 literals), read as such whatever the ANSI code page;
# standard conformance as GCC and clang check it. Headers included with angle brackets are
# third-party: no warnings from them.
add_compile_options(/utf-8 /permissive- /Zc:__cplusplus /external:anglebrackets /external:W0)
# CMake links the Boost libraries itself.
add_compile_definitions(BOOST_ALL_NO_LIB)
