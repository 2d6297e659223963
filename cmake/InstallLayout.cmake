# Where an installed system keeps our files, and the relative paths the programs use to find
# each other from their own folder (so that an unpacked package tree works as an installed
# one).
include(GNUInstallDirs)

# The host's plug-ins, a folder of their own.
set(KELVO_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/kelvo/plugins/tokens)
# The vendor's PKCS#11 library and its key engine (the software token's package installs the
# stand-ins there).
set(KELVO_VENDOR_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/voxa)

function(_kelvo_relative_to_bindir result folder)
    file(RELATIVE_PATH relative ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${folder})
    set(${result} ${relative} PARENT_SCOPE)
endfunction()
_kelvo_relative_to_bindir(KELVO_PLUGIN_DIR_FROM_BINDIR ${KELVO_PLUGIN_INSTALL_DIR})
_kelvo_relative_to_bindir(KELVO_VENDOR_DIR_FROM_BINDIR ${KELVO_VENDOR_INSTALL_DIR})

# System-wide settings the vendor's installer writes: Qt reads them under the XDG configuration
# folders (/etc/xdg). Relative to the prefix when the system folder lies inside it, so that
# "cmake --install --prefix" keeps them with the rest.
if(CMAKE_INSTALL_FULL_SYSCONFDIR STREQUAL "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SYSCONFDIR}")
    set(KELVO_XDG_INSTALL_DIR ${CMAKE_INSTALL_SYSCONFDIR}/xdg)
else()
    set(KELVO_XDG_INSTALL_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg)
endif()
