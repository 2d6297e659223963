# The platform layer's sources per operating system, read by the product build and by the
# mingw-w64 build of the Windows half's tests.
set(KELVO_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR})

# Shared by every system.
set(KELVO_PLATFORM_SHARED_SOURCES
    ${KELVO_PLATFORM_DIR}/src/shared/plain_launch.cpp)

# Shared by every system and free of Qt (the Win32 part's own build takes it too).
set(KELVO_PLATFORM_PLAIN_SOURCES
    ${KELVO_PLATFORM_DIR}/src/shared/shared_library_ownership.cpp)

set(KELVO_PLATFORM_POSIX_SOURCES
    ${KELVO_PLATFORM_PLAIN_SOURCES}
    ${KELVO_PLATFORM_DIR}/src/posix/environment.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/environment_block.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/install_layout.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/lasting_memory.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/os_version.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/process.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/program.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/qt_path.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/registry.cpp
    ${KELVO_PLATFORM_DIR}/src/posix/shared_library.cpp)

# Windows, the part that needs neither Qt nor Boost's compiled libraries (tested under Wine).
set(KELVO_PLATFORM_WIN32_SOURCES
    ${KELVO_PLATFORM_PLAIN_SOURCES}
    ${KELVO_PLATFORM_DIR}/src/windows/elevation.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/environment.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/module_path.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/os_version.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/shared_library.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/system_error_text.cpp)
# Windows, the rest: Qt and Boost at the layer's interface.
set(KELVO_PLATFORM_WINDOWS_SOURCES
    ${KELVO_PLATFORM_WIN32_SOURCES}
    ${KELVO_PLATFORM_DIR}/src/windows/install_layout.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/process.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/program.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/qt_path.cpp
    ${KELVO_PLATFORM_DIR}/src/windows/registry.cpp)
set(KELVO_PLATFORM_WINDOWS_LIBS advapi32 ole32 shell32)
