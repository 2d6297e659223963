# One instrumented build for the test suite: AddressSanitizer and UndefinedBehaviorSanitizer.
if(MSVC AND (KELVO_SANITIZE OR KELVO_FUZZ))
    message(FATAL_ERROR "KELVO_SANITIZE and KELVO_FUZZ are for GCC and clang builds")
endif()
if(KELVO_SANITIZE)
    set(KELVO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                              -fno-sanitize-recover=undefined)
    add_compile_options(${KELVO_SANITIZER_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()

# Sanitizer runtimes that uninstrumented programs (pkcs11-tool, p11tool, openssl) preload when
# they load an instrumented library of ours; empty in other builds.
set(KELVO_SANITIZER_PRELOAD "")
if(KELVO_SANITIZE)
    foreach(runtime libasan.so libubsan.so)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        string(STRIP "${KELVO_SANITIZER_PRELOAD} ${path}" KELVO_SANITIZER_PRELOAD)
    endforeach()
endif()

# Environment every test runs with under the sanitizers.
set(KELVO_TEST_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "QT_QPA_PLATFORM=offscreen")

# kelvo_add_gtest(<target> SOURCES ... LIBS ...): a GoogleTest executable registered with CTest.
function(kelvo_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT;PROPERTIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    # Runs through env(1) so that discovery and every test see the same environment
    # (discovered tests cannot carry a list-valued ENVIRONMENT property).
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR
        "env;${KELVO_TEST_ENVIRONMENT};${ARG_ENVIRONMENT}")
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()

# kelvo_add_library(<target> [SHARED|STATIC] [SOURCES ...] LIBS ...): a library from the
# given sources (default: the folder's src/*.cpp) with its public headers in include/, and a
# test executable from tests/*_test.cpp if any.
function(kelvo_add_library target)
    cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LIBS;PRIVATE_LIBS;TEST_LIBS" ${ARGN})
    if(ARG_SOURCES)
        set(sources ${ARG_SOURCES})
    else()
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp)
    endif()
    if(ARG_SHARED)
        add_library(${target} SHARED ${sources})
    else()
        add_library(${target} STATIC ${sources})
    endif()
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                         PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
    if(KELVO_BUILD_TESTS AND tests)
        kelvo_add_gtest(${target}_tests SOURCES ${tests} LIBS ${target} ${ARG_TEST_LIBS})
    endif()
endfunction()
