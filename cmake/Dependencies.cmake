set(CMAKE_AUTOMOC OFF)
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets)
find_package(Boost 1.74 REQUIRED COMPONENTS log log_setup filesystem locale system thread
                                            serialization iostreams date_time)
find_package(OpenSSL 3 REQUIRED)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(P11KIT REQUIRED IMPORTED_TARGET p11-kit-1)
find_package(RapidJSON QUIET)
if(KELVO_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()

# Boost.Log is used as a shared library everywhere so that all components see one core.
add_compile_definitions(BOOST_LOG_DYN_LINK BOOST_ALL_DYN_LINK)

# Directory of the GOST engine shipped by libengine-gost-openssl (for tests and stand-ins).
execute_process(COMMAND openssl version -e OUTPUT_VARIABLE _engines_line
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
string(REGEX REPLACE "^ENGINESDIR: \"(.*)\"$" "\\1" KELVO_OPENSSL_ENGINES_DIR "${_engines_line}")
