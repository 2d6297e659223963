# Warnings for the code of this project only: third-party headers come in through imported
# targets, which compilers treat as system headers.
option(KELVO_WERROR "Treat compiler warnings as errors (CI and scripts/test.sh turn it on)" OFF)

if(MSVC)
    set(KELVO_WARNING_FLAGS /W4)
    if(KELVO_WERROR)
        list(APPEND KELVO_WARNING_FLAGS /WX)
    endif()
else()
    set(KELVO_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow)
    if(KELVO_WERROR)
        list(APPEND KELVO_WARNING_FLAGS -Werror)
    endif()
endif()

# kelvo_add_warnings(<folder>): the warning flags on every compiled target defined in the
# folder and the folders below it. Called once, after all components are added.
function(kelvo_add_warnings folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
            target_compile_options(${target} PRIVATE ${KELVO_WARNING_FLAGS})
        endif()
    endforeach()
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    foreach(subfolder IN LISTS subfolders)
        kelvo_add_warnings(${subfolder})
    endforeach()
endfunction()
