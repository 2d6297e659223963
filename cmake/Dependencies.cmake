set(CMAKE_AUTOMOC OFF)
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets)
find_package(Boost 1.74 REQUIRED COMPONENTS log log_setup filesystem locale system thread
                                            serialization iostreams date_time)
find_package(OpenSSL 3 REQUIRED)
find_package(Threads REQUIRED)
# The PKCS#11 headers: p11-kit's through pkg-config, or on Windows the copy in third_party/
# (or another folder holding p11-kit/pkcs11.h), under the same target name.
if(WIN32)
    set(KELVO_PKCS11_INCLUDE_DIR ${CMAKE_SOURCE_DIR}/third_party/pkcs11/include
        CACHE PATH "Folder holding p11-kit/pkcs11.h")
    add_library(PkgConfig::P11KIT INTERFACE IMPORTED)
    set_target_properties(PkgConfig::P11KIT PROPERTIES
                          INTERFACE_INCLUDE_DIRECTORIES ${KELVO_PKCS11_INCLUDE_DIR})
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(P11KIT REQUIRED IMPORTED_TARGET p11-kit-1)
endif()
# RapidJSON is headers only; its package file sets variables, not a target.
find_package(RapidJSON QUIET)
find_path(KELVO_RAPIDJSON_INCLUDE_DIR rapidjson/document.h
          HINTS ${RapidJSON_INCLUDE_DIRS} ${RAPIDJSON_INCLUDE_DIRS} REQUIRED)
add_library(RapidJSON::RapidJSON INTERFACE IMPORTED)
set_target_properties(RapidJSON::RapidJSON PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${KELVO_RAPIDJSON_INCLUDE_DIR})
if(KELVO_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()

# Boost.Log is used as a shared library everywhere so that all components see one core.
add_compile_definitions(BOOST_LOG_DYN_LINK BOOST_ALL_DYN_LINK)

# Directory of the GOST engine shipped by libengine-gost-openssl (for tests and stand-ins).
execute_process(COMMAND openssl version -e OUTPUT_VARIABLE _engines_line
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
string(REGEX REPLACE "^ENGINESDIR: \"(.*)\"$" "\\1" KELVO_OPENSSL_ENGINES_DIR "${_engines_line}")
